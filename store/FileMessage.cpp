#include "FileMessage.h"

#include <limits>
#include <sys/stat.h>

namespace velmora {

FileMessage::FileMessage(std::shared_ptr<FileStore> store, MessageLocation location,
                         std::optional<ParsedMessage> parsed)
    : m_store(std::move(store))
    , m_location(std::move(location))
{
    if (parsed) {
        adoptParsed(std::move(*parsed));
    }
}

void FileMessage::adoptParsed(ParsedMessage parsed)
{
    m_parsed = std::move(parsed);
    m_sizeKnown = true;
}

std::optional<ParsedMessage> FileMessage::parsedFields() const
{
    if (!m_sizeKnown) {
        return std::nullopt;
    }
    return m_parsed;
}

// Reads through the file's current name: when another program renamed it (a new flag suffix) between the
// enumeration and now, the store finds it again once.
template <typename Read> auto FileMessage::readWithRetry(Read&& read)
{
    try {
        return read(m_location.path);
    } catch (const StoreError&) {
        if (!m_store) {
            throw;
        }
        const std::optional<QByteArray> current = m_store->locate(m_location.id);
        if (!current || *current == m_location.path) {
            throw;
        }
        m_location.path = *current;
        m_location.directory.reset(); // the listing's directory and name no longer tell where it is
        return read(m_location.path);
    }
}

QDateTime FileMessage::GetLastModificationTime()
{
    // The folder listing leaves it unknown when the file's name told all it needed.
    if (!m_location.modified.isValid()) {
        struct stat info = {};
        if (m_parsed.modified.isValid()) {
            m_location.modified = m_parsed.modified;
        } else if (::lstat(m_location.path.constData(), &info) == 0) {
            m_location.modified = QDateTime::fromMSecsSinceEpoch(
                qint64(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000, Qt::UTC);
        }
    }
    return m_location.modified;
}

const ParsedMessage& FileMessage::fields(bool headers, bool body, int bodyLimit, bool html)
{
    const bool needHeaders = headers && !m_parsed.hasHeaders;
    const bool needBody = body && (!m_parsed.hasBody || (m_parsed.bodyLimit < bodyLimit && !m_parsed.bodyComplete));
    const bool needHtml = html && !m_parsed.hasHtml;
    if (!needHeaders && !needBody && !needHtml) {
        return m_parsed;
    }
    // Exactly what is asked for: the headers alone need only the header block. A caller that will want several
    // fields says so first with PrepareFields, and they are read in one pass.
    FieldNeeds needs;
    needs.headers = needHeaders;
    needs.body = needBody;
    needs.html = needHtml;
    needs.bodyLimit = std::max(bodyLimit, kDefaultBodyLimit);
    needs.deferNames = true;
    merge(readWithRetry([this, &needs](const QByteArray& path) {
        if (m_location.directory && path == m_location.path) {
            return readMessageFileAt(m_location.directory->fd(), m_location.fileName, path, needs);
        }
        return readMessageFile(path, needs);
    }));
    return m_parsed;
}

void FileMessage::merge(ParsedMessage read)
{
    if (read.hasHeaders) {
        m_parsed.hasHeaders = true;
        m_parsed.subject = std::move(read.subject);
        m_parsed.displayTo = std::move(read.displayTo);
        m_parsed.displayFrom = std::move(read.displayFrom);
        m_parsed.namesPending = read.namesPending;
        m_parsed.pendingTo = std::move(read.pendingTo);
        m_parsed.pendingFrom = std::move(read.pendingFrom);
    }
    if (read.hasBody) {
        m_parsed.hasBody = true;
        m_parsed.body = std::move(read.body);
        m_parsed.bodyLimit = read.bodyLimit;
        m_parsed.bodyComplete = read.bodyComplete;
    }
    if (read.hasHtml) {
        m_parsed.hasHtml = true;
        m_parsed.htmlBody = std::move(read.htmlBody);
    }
    m_parsed.fileSize = read.fileSize;
    m_parsed.modified = read.modified;
    m_sizeKnown = true;
}

void FileMessage::PrepareFields(bool headers, bool body, int bodyLimit)
{
    fields(headers, body, bodyLimit, false);
}

QString FileMessage::GetSubject()
{
    return fields(true, false, 0, false).subject;
}

QString FileMessage::GetDisplayTo()
{
    fields(true, false, 0, false);
    resolveDisplayNames(m_parsed);
    return m_parsed.displayTo;
}

QString FileMessage::GetDisplayFrom()
{
    fields(true, false, 0, false);
    resolveDisplayNames(m_parsed);
    return m_parsed.displayFrom;
}

QString FileMessage::GetHTMLBody()
{
    return fields(false, false, 0, true).htmlBody;
}

std::int32_t FileMessage::GetSize()
{
    if (!m_sizeKnown) {
        const ParsedMessage stat
            = readWithRetry([](const QByteArray& path) { return readMessageFile(path, FieldNeeds {}); });
        m_parsed.fileSize = stat.fileSize;
        m_sizeKnown = true;
    }
    return static_cast<std::int32_t>(std::min<qint64>(m_parsed.fileSize, std::numeric_limits<std::int32_t>::max()));
}

QString FileMessage::GetBody(int limit)
{
    if (limit <= 0) {
        return {};
    }
    const ParsedMessage& parsed = fields(false, true, limit, false);
    if (parsed.body.size() <= limit) {
        return parsed.body;
    }
    QString text = parsed.body.left(limit);
    if (text.back().isHighSurrogate()) {
        text.chop(1);
    }
    return text;
}

void FileMessage::Delete(int flag)
{
    if (!m_store) {
        throw StoreError("This message cannot be removed from here");
    }
    m_store->removeMessage(m_location.id, flag);
}

std::optional<InlinePart> FileMessage::GetInlinePart(const QString& contentId)
{
    return readWithRetry([&contentId](const QByteArray& path) { return readInlinePart(path, contentId); });
}

} // namespace velmora
