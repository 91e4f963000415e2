#include "MessageFileReader.h"

#include "CharsetDecoder.h"
#include "EncodedWords.h"
#include "GMimeInit.h"
#include "HtmlText.h"
#include "MessageLayout.h"

#include <gmime/gmime.h>

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

    // A header block longer than this is cut; real headers are a few kilobytes.
    constexpr qsizetype kMaxHeaderBytes = 1024 * 1024;
    constexpr qsizetype kReadChunk = 16 * 1024;
    // Parts nested deeper than this are not looked into.
    constexpr int kMaxPartDepth = 64;
    constexpr qint64 kMaxInlinePartBytes = 16 * 1024 * 1024;

    // Owns a GLib object reference.
    template <typename T> class GRef
    {
    public:
        explicit GRef(T* object = nullptr)
            : m_object(object)
        {
        }
        ~GRef()
        {
            if (m_object) {
                g_object_unref(m_object);
            }
        }
        GRef(const GRef&) = delete;
        GRef& operator=(const GRef&) = delete;
        T* get() const { return m_object; }
        explicit operator bool() const { return m_object != nullptr; }

    private:
        T* m_object;
    };

    class MessageFile
    {
    public:
        explicit MessageFile(const QByteArray& native)
            : MessageFile(AT_FDCWD, native.constData(), native)
        {
        }

        // `name` relative to the directory `directoryFd`; `native` is its whole path, for messages.
        MessageFile(int directoryFd, const char* name, const QByteArray& native)
        {
            // O_NONBLOCK: opening a FIFO planted in place of a message must not wait for a writer.
            m_fd = ::openat(directoryFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
            if (m_fd < 0) {
                const int error = errno;
                if (error == ELOOP) {
                    throw StoreError("The message file is a symbolic link: " + native.toStdString());
                }
                throw StoreError("Cannot open the message file " + native.toStdString() + ": " + std::strerror(error));
            }
            if (::fstat(m_fd, &m_stat) != 0 || !S_ISREG(m_stat.st_mode)) {
                ::close(m_fd);
                throw StoreError("Not a regular file: " + native.toStdString());
            }
        }
        ~MessageFile() { ::close(m_fd); }
        MessageFile(const MessageFile&) = delete;
        MessageFile& operator=(const MessageFile&) = delete;

        int fd() const { return m_fd; }
        qint64 size() const { return m_stat.st_size; }
        QDateTime modified() const
        {
            return QDateTime::fromMSecsSinceEpoch(
                qint64(m_stat.st_mtim.tv_sec) * 1000 + m_stat.st_mtim.tv_nsec / 1000000, Qt::UTC);
        }

    private:
        int m_fd = -1;
        struct stat m_stat = {};
    };

    struct HeaderBlock
    {
        QByteArray bytes;
        bool ended = false; // a blank line closes it
        bool wholeFile = false; // the file ends inside it
    };

    HeaderBlock readHeaderBlock(const MessageFile& file)
    {
        HeaderBlock block;
        qint64 offset = 0;
        while (block.bytes.size() < kMaxHeaderBytes) {
            const qsizetype old = block.bytes.size();
            block.bytes.resize(old + kReadChunk);
            const ssize_t n = ::pread(file.fd(), block.bytes.data() + old, kReadChunk, offset);
            if (n < 0 && errno == EINTR) {
                block.bytes.resize(old);
                continue;
            }
            if (n < 0) {
                throw StoreError(std::string("Cannot read the message file: ") + std::strerror(errno));
            }
            block.bytes.resize(old + n);
            if (n == 0) {
                block.wholeFile = true;
                return block;
            }
            offset += n;
            const qsizetype from = std::max<qsizetype>(0, old - 2);
            for (qsizetype i = from; i < block.bytes.size(); ++i) {
                if (block.bytes.at(i) != '\n') {
                    continue;
                }
                const bool lf = i + 1 < block.bytes.size() && block.bytes.at(i + 1) == '\n';
                const bool crlf
                    = i + 2 < block.bytes.size() && block.bytes.at(i + 1) == '\r' && block.bytes.at(i + 2) == '\n';
                if (i == 0 || lf || crlf) {
                    block.bytes.truncate(i + (crlf ? 3 : lf ? 2 : 1));
                    block.ended = true;
                    return block;
                }
            }
        }
        block.bytes.truncate(kMaxHeaderBytes);
        return block;
    }

    GMimeMessage* parseMessage(GMimeStream* stream)
    {
        GRef<GMimeParser> parser(g_mime_parser_new_with_stream(stream));
        g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
        g_mime_parser_set_persist_stream(parser.get(), TRUE);
        return g_mime_parser_construct_message(parser.get(), messageParserOptions());
    }

    // Only the header block: a message without body.
    GMimeMessage* parseHeaderBlock(QByteArray bytes)
    {
        // Headers that never end are cut at their last complete line.
        const qsizetype lastLine = bytes.lastIndexOf('\n');
        bytes.truncate(lastLine < 0 ? 0 : lastLine + 1);
        bytes.append('\n');
        GRef<GMimeStream> stream(
            g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
        return parseMessage(stream.get());
    }

    // Files up to this size are read with one call and parsed from memory: far fewer system calls than
    // a file stream, which seeks before every small read.
    // Up to the header limit, so that the whole header block is always within what is read.
    constexpr qint64 kReadWholeLimit = kMaxHeaderBytes;

    // The whole file in one read into a buffer this thread keeps, so that reading a message allocates nothing
    // (when the file shrank meanwhile: what is there). Valid until the thread's next read.
    std::string_view readWholeFile(const MessageFile& file)
    {
        thread_local std::vector<char> buffer;
        const auto size = static_cast<std::size_t>(file.size());
        if (buffer.size() < size) {
            buffer.resize(size);
        }
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pread(file.fd(), buffer.data() + done, size - done, static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                throw StoreError(std::string("Cannot read the message file: ") + std::strerror(errno));
            }
            if (n == 0) {
                break;
            }
            done += static_cast<std::size_t>(n);
        }
        return { buffer.data(), done };
    }

    GMimeMessage* parseBytes(std::string_view bytes)
    {
        GByteArray* array = g_byte_array_sized_new(static_cast<guint>(bytes.size() + 1));
        g_byte_array_append(array, reinterpret_cast<const guint8*>(bytes.data()), static_cast<guint>(bytes.size()));
        // The stream takes the array over.
        GRef<GMimeStream> stream(g_mime_stream_mem_new_with_byte_array(array));
        return parseMessage(stream.get());
    }

    GMimeMessage* parseWholeFile(const MessageFile& file)
    {
        const int fd = ::fcntl(file.fd(), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            throw StoreError(std::string("Cannot read the message file: ") + std::strerror(errno));
        }
        // The stream owns the duplicate descriptor. Parts keep offsets into it instead of copies of their content.
        GRef<GMimeStream> stream(g_mime_stream_fs_new(fd));
        return parseMessage(stream.get());
    }

    QString fromUtf8(const char* text)
    {
        return text ? QString::fromUtf8(text).trimmed() : QString();
    }

    void appendDisplayNames(InternetAddressList* list, QStringList& names, int depth)
    {
        if (!list || depth > 2) {
            return;
        }
        const int count = internet_address_list_length(list);
        for (int i = 0; i < count; ++i) {
            InternetAddress* address = internet_address_list_get_address(list, i);
            if (INTERNET_ADDRESS_IS_GROUP(address)) {
                InternetAddressList* members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address));
                if (members && internet_address_list_length(members) > 0) {
                    appendDisplayNames(members, names, depth + 1);
                    continue;
                }
            }
            QString name = fromUtf8(internet_address_get_name(address));
            if (name.isEmpty() && INTERNET_ADDRESS_IS_MAILBOX(address)) {
                name = fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
            }
            if (!name.isEmpty()) {
                names.append(name);
            }
        }
    }

    QByteArray unfold(const char* raw)
    {
        char* unfolded = g_mime_utils_header_unfold(raw);
        QByteArray value(unfolded);
        g_free(unfolded);
        return value;
    }

    // The first header `name` as it stands in the file, unfolded; null when there is none.
    QByteArray unfoldedHeader(GMimeMessage* message, const char* name)
    {
        GMimeHeaderList* headers = g_mime_object_get_header_list(GMIME_OBJECT(message));
        GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
        const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
        return raw == nullptr ? QByteArray() : unfold(raw);
    }

    // Subjects with encoded words are decoded from the file's own text with runs of encoded words joined, so
    // that text after a padded base64 word is not lost (GMime stops there).
    QString decodeSubjectWords(const QByteArray& unfolded)
    {
        char* decoded = g_mime_utils_header_decode_text(nullptr, mergeEncodedWords(unfolded).constData());
        QString text = fromUtf8(decoded);
        g_free(decoded);
        qsizetype start = 0;
        while (start < text.size() && (text[start] == QLatin1Char(' ') || text[start] == QLatin1Char('\t'))) {
            ++start;
        }
        return text.mid(start);
    }

    QString decodedSubject(GMimeMessage* message)
    {
        const QByteArray raw = unfoldedHeader(message, "Subject");
        if (!raw.contains("=?")) {
            return fromUtf8(g_mime_message_get_subject(message));
        }
        return decodeSubjectWords(raw);
    }

    QByteArray bytesOf(std::string_view text)
    {
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }

    // The subject from the field's raw value, read the way GMime's message reads it.
    QString subjectFromRaw(const std::optional<std::string_view>& raw)
    {
        if (!raw) {
            return {};
        }
        const QByteArray unfolded = unfold(bytesOf(*raw).constData());
        if (unfolded.contains("=?")) {
            return decodeSubjectWords(unfolded);
        }
        char* decoded = g_mime_utils_header_decode_text(messageParserOptions(), unfolded.constData());
        QString text = fromUtf8(decoded);
        g_free(decoded);
        return text;
    }

    QString displayNames(InternetAddressList* list);

    // Display names of an address header, parsed again from the file's text when encoded words need joining.
    QString decodedDisplayNames(GMimeMessage* message, const char* name, InternetAddressList* parsed)
    {
        const QByteArray raw = unfoldedHeader(message, name);
        const QByteArray merged = mergeEncodedWords(raw);
        if (merged == raw) {
            return displayNames(parsed);
        }
        InternetAddressList* list = internet_address_list_parse(nullptr, merged.constData());
        const QString names = displayNames(list);
        if (list != nullptr) {
            g_object_unref(list);
        }
        return names;
    }

    QString displayNames(InternetAddressList* list)
    {
        QStringList names;
        appendDisplayNames(list, names, 0);
        return names.join(QStringLiteral("; "));
    }

    // The display names of an address field from its raw value, read the way GMime's message reads them.
    QString displayNamesFromRaw(const std::optional<std::string_view>& raw)
    {
        if (!raw) {
            return {};
        }
        const QByteArray bytes = bytesOf(*raw);
        const QByteArray unfolded = unfold(bytes.constData());
        const QByteArray merged = mergeEncodedWords(unfolded);
        InternetAddressList* list = merged == unfolded
            ? internet_address_list_parse(messageParserOptions(), bytes.constData())
            : internet_address_list_parse(nullptr, merged.constData());
        const QString names = displayNames(list);
        if (list != nullptr) {
            g_object_unref(list);
        }
        return names;
    }

    std::optional<QByteArray> rawCopy(const std::optional<std::string_view>& raw)
    {
        return raw ? std::optional<QByteArray>(bytesOf(*raw)) : std::nullopt;
    }

    std::optional<std::string_view> viewOf(const std::optional<QByteArray>& raw)
    {
        return raw ? std::optional<std::string_view>(std::string_view(raw->constData(), raw->size())) : std::nullopt;
    }

    void readHeaderFields(const TopHeaderFields& fields, bool deferNames, ParsedMessage& result)
    {
        result.hasHeaders = true;
        result.subject = subjectFromRaw(fields.subject);
        if (deferNames) {
            // Address lists are the dearest part of a header block to parse (GMime builds an object per
            // address), and only the To and From fields need them.
            result.namesPending = true;
            result.pendingTo = rawCopy(fields.to);
            result.pendingFrom = rawCopy(fields.from);
            return;
        }
        result.displayTo = displayNamesFromRaw(fields.to);
        result.displayFrom = displayNamesFromRaw(fields.from);
    }

    template <typename Sink> bool decodeTextPart(GMimePart* part, Sink&& sink);
    template <typename Sink> bool decodeTextBytes(const TextPartLocation& part, Sink&& sink);

    // A text part to decode: a part of GMime's tree, or one located straight in the message bytes.
    struct PartSource
    {
        GMimePart* part = nullptr;
        const TextPartLocation* located = nullptr;

        explicit operator bool() const { return part != nullptr || located != nullptr; }
        template <typename Sink> bool decode(Sink&& sink) const
        {
            return located ? decodeTextBytes(*located, sink) : decodeTextPart(part, sink);
        }
    };

    struct TextParts
    {
        PartSource plain;
        PartSource html;
    };

    bool isType(GMimeObject* object, const char* type, const char* subtype)
    {
        GMimeContentType* contentType = g_mime_object_get_content_type(object);
        return contentType && g_mime_content_type_is_type(contentType, type, subtype);
    }

    // Visits the parts in document order without recursion, so no nesting depth can exhaust the stack.
    template <typename Visit> void walkParts(GMimeObject* root, Visit&& visit)
    {
        std::vector<std::pair<GMimeObject*, int>> stack;
        if (root) {
            stack.emplace_back(root, 0);
        }
        while (!stack.empty()) {
            const auto [object, depth] = stack.back();
            stack.pop_back();
            if (GMIME_IS_MULTIPART(object)) {
                if (depth >= kMaxPartDepth) {
                    continue;
                }
                GMimeMultipart* multipart = GMIME_MULTIPART(object);
                for (int i = g_mime_multipart_get_count(multipart) - 1; i >= 0; --i) {
                    stack.emplace_back(g_mime_multipart_get_part(multipart, i), depth + 1);
                }
            } else if (GMIME_IS_PART(object)) {
                if (!visit(GMIME_PART(object))) {
                    return;
                }
            }
            // An attached message (message/rfc822) is an attachment: its text is not this message's body.
        }
    }

    TextParts findTextParts(GMimeMessage* message)
    {
        TextParts parts;
        walkParts(g_mime_message_get_mime_part(message), [&parts](GMimePart* part) {
            if (g_mime_part_is_attachment(part)) {
                return true;
            }
            GMimeObject* object = GMIME_OBJECT(part);
            if (!parts.plain && isType(object, "text", "plain")) {
                parts.plain.part = part;
            } else if (!parts.html && isType(object, "text", "html")) {
                parts.html.part = part;
            }
            return !(parts.plain && parts.html);
        });
        // A message without any Content-Type is plain text.
        return parts;
    }

    // Removes the CR of each CRLF, also across the pieces it arrives in, so that the same text stored with either
    // line end reads the same.
    class LineEndNormaliser
    {
    public:
        QString take(const QString& piece)
        {
            if (!m_pendingCr && !piece.contains(u'\r')) {
                return piece; // shares the piece's text
            }
            QString out;
            out.reserve(piece.size() + 1);
            for (const QChar c : piece) {
                if (m_pendingCr && c != u'\n') {
                    out.append(u'\r');
                }
                m_pendingCr = c == u'\r';
                if (!m_pendingCr) {
                    out.append(c);
                }
            }
            return out;
        }
        QString finish() { return m_pendingCr ? QStringLiteral("\r") : QString(); }

    private:
        bool m_pendingCr = false;
    };

    // Decodes a text part piece by piece (transfer encoding, then charset) and hands the text to `sink` until it
    // returns false. Returns true when the whole part was decoded.
    template <typename Sink> bool decodeTextPart(GMimePart* part, Sink&& sink)
    {
        GMimeDataWrapper* content = g_mime_part_get_content(part);
        if (!content) {
            return true;
        }
        GMimeStream* raw = g_mime_data_wrapper_get_stream(content);
        if (!raw) {
            return true;
        }
        g_mime_stream_reset(raw);
        GRef<GMimeStream> filtered(g_mime_stream_filter_new(raw));
        const GMimeContentEncoding encoding = g_mime_data_wrapper_get_encoding(content);
        if (encoding == GMIME_CONTENT_ENCODING_BASE64 || encoding == GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE
            || encoding == GMIME_CONTENT_ENCODING_UUENCODE) {
            GRef<GMimeFilter> decoder(g_mime_filter_basic_new(encoding, FALSE));
            g_mime_stream_filter_add(GMIME_STREAM_FILTER(filtered.get()), decoder.get());
        }
        CharsetDecoder charset(QByteArray(g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset")));
        LineEndNormaliser lines;
        char buffer[kReadChunk];
        while (true) {
            const ssize_t n = g_mime_stream_read(filtered.get(), buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            if (!sink(lines.take(charset.decode(buffer, n)))) {
                return false;
            }
        }
        sink(lines.take(charset.finish()) + lines.finish());
        return true;
    }

    // The same for a text part located in the message bytes: the transfer decoding is GMime's own, in one step.
    template <typename Sink> bool decodeTextBytes(const TextPartLocation& part, Sink&& sink)
    {
        const char* data = part.content.data();
        std::size_t size = part.content.size();
        if (part.encoding != TransferEncoding::None) {
            // Decoded into a buffer the thread keeps; the text is taken out of it before the next message.
            thread_local std::vector<char> decoded;
            GMimeEncoding state;
            g_mime_encoding_init_decode(&state,
                                        part.encoding == TransferEncoding::Base64
                                            ? GMIME_CONTENT_ENCODING_BASE64
                                            : GMIME_CONTENT_ENCODING_QUOTEDPRINTABLE);
            const std::size_t room = g_mime_encoding_outlen(&state, size) + 16;
            if (decoded.size() < room) {
                decoded.resize(room);
            }
            std::size_t n = g_mime_encoding_step(&state, data, size, decoded.data());
            n += g_mime_encoding_flush(&state, "", 0, decoded.data() + n);
            data = decoded.data();
            size = n;
        }
        CharsetDecoder charset(part.charset);
        LineEndNormaliser lines;
        for (std::size_t done = 0; done < size; done += kReadChunk) {
            const auto n = static_cast<qsizetype>(std::min<std::size_t>(kReadChunk, size - done));
            if (!sink(lines.take(charset.decode(data + done, n)))) {
                return false;
            }
        }
        sink(lines.take(charset.finish()) + lines.finish());
        return true;
    }

    // Cuts `text` at `limit` code units without leaving half of a surrogate pair at the end.
    void cutText(QString& text, qsizetype limit)
    {
        if (text.size() <= limit) {
            return;
        }
        text.truncate(limit);
        if (!text.isEmpty() && text.back().isHighSurrogate()) {
            text.chop(1);
        }
    }

    void readBody(const TextParts& parts, int limit, ParsedMessage& result)
    {
        result.hasBody = true;
        result.bodyLimit = limit;
        const qsizetype wanted = std::max(0, limit);
        bool complete = true;
        if (parts.plain) {
            QString text;
            complete = parts.plain.decode([&text, wanted](const QString& piece) {
                text += piece;
                return text.size() <= wanted;
            });
            complete = complete && text.size() <= wanted;
            cutText(text, wanted);
            result.body = std::move(text);
        } else if (parts.html) {
            HtmlTextExtractor extractor;
            complete = parts.html.decode([&extractor, wanted](const QString& piece) {
                extractor.feed(piece);
                return extractor.text().size() <= wanted;
            });
            extractor.finish();
            QString text = extractor.text();
            complete = complete && text.size() <= wanted;
            cutText(text, wanted);
            result.body = std::move(text);
        }
        result.bodyComplete = complete;
    }

    QString readPartText(const PartSource& part, qsizetype limit)
    {
        QString text;
        part.decode([&text, limit](const QString& piece) {
            text += piece;
            return text.size() <= limit;
        });
        cutText(text, limit);
        return text;
    }

    void readHtml(const TextParts& parts, ParsedMessage& result)
    {
        result.hasHtml = true;
        if (parts.html) {
            result.htmlBody = readPartText(parts.html, kMaxHtmlBodyLength);
        } else if (parts.plain) {
            result.htmlBody = plainTextAsHtml(readPartText(parts.plain, kMaxHtmlBodyLength));
        } else {
            result.htmlBody = plainTextAsHtml(QString());
        }
    }

    GMimeMessage* parseFor(const MessageFile& file, bool needsContent)
    {
        if (!needsContent) {
            return parseHeaderBlock(readHeaderBlock(file).bytes);
        }
        if (file.size() <= kReadWholeLimit) {
            return parseBytes(readWholeFile(file));
        }
        const HeaderBlock block = readHeaderBlock(file);
        if (!block.ended && !block.wholeFile) {
            // Headers that do not end within the limit leave no recognisable body.
            return parseHeaderBlock(block.bytes);
        }
        return parseWholeFile(file);
    }

    void readContent(const TextParts& parts, const FieldNeeds& needs, ParsedMessage& result)
    {
        if (needs.body) {
            readBody(parts, needs.bodyLimit, result);
        }
        if (needs.html) {
            readHtml(parts, result);
        }
    }

    // Reads the fields straight from the bytes when the message has the shape that allows it; false leaves
    // `result` as it was and `file` unread for the full parser.
    bool readDirectly(const MessageFile& file, const FieldNeeds& needs, ParsedMessage& result, GMimeMessage*& parsed)
    {
        if (needs.fullParse) {
            return false;
        }
        if (!needs.body && !needs.html) {
            const HeaderBlock block = readHeaderBlock(file);
            const std::optional<TopHeaderFields> fields = block.ended
                ? locateTopHeaderFields({ block.bytes.constData(), static_cast<std::size_t>(block.bytes.size()) })
                : std::nullopt;
            if (!fields) {
                parsed = parseHeaderBlock(block.bytes);
                return false;
            }
            readHeaderFields(*fields, needs.deferNames, result);
            return true;
        }
        if (file.size() > kReadWholeLimit) {
            return false;
        }
        const std::string_view bytes = readWholeFile(file);
        const std::optional<MessageLayout> layout = locateMessageLayout(bytes);
        if (!layout) {
            parsed = parseBytes(bytes);
            return false;
        }
        if (needs.headers) {
            readHeaderFields(layout->headers, needs.deferNames, result);
        }
        TextParts parts;
        if (layout->plain.found) {
            parts.plain.located = &layout->plain;
        }
        if (layout->html.found) {
            parts.html.located = &layout->html;
        }
        readContent(parts, needs, result);
        return true;
    }

    ParsedMessage readMessageFile(const MessageFile& file, const QByteArray& path, const FieldNeeds& needs)
    {
        ensureGMimeInitialised();
        ParsedMessage result;
        result.fileSize = file.size();
        result.modified = file.modified();
        if (!needs.headers && !needs.body && !needs.html) {
            return result;
        }
        GMimeMessage* parsed = nullptr;
        if (readDirectly(file, needs, result, parsed)) {
            result.readDirectly = true;
            return result;
        }
        GRef<GMimeMessage> message(parsed ? parsed : parseFor(file, needs.body || needs.html));
        if (!message) {
            throw StoreError("Not a mail message: " + path.toStdString());
        }
        if (needs.headers) {
            result.hasHeaders = true;
            result.subject = decodedSubject(message.get());
            result.displayTo = decodedDisplayNames(message.get(), "To", g_mime_message_get_to(message.get()));
            result.displayFrom = decodedDisplayNames(message.get(), "From", g_mime_message_get_from(message.get()));
        }
        if (needs.body || needs.html) {
            readContent(findTextParts(message.get()), needs, result);
        }
        return result;
    }

} // namespace

ParsedMessage readMessageFile(const QString& path, const FieldNeeds& needs)
{
    return readMessageFile(QFile::encodeName(path), needs);
}

std::optional<InlinePart> readInlinePart(const QString& path, const QString& contentId)
{
    return readInlinePart(QFile::encodeName(path), contentId);
}

ParsedMessage readMessageFile(const QByteArray& path, const FieldNeeds& needs)
{
    return readMessageFile(MessageFile(path), path, needs);
}

ParsedMessage readMessageFileAt(int directoryFd, const QByteArray& fileName, const QByteArray& path,
                                const FieldNeeds& needs)
{
    if (fileName.isEmpty() || fileName.contains('/')) {
        return readMessageFile(path, needs);
    }
    return readMessageFile(MessageFile(directoryFd, fileName.constData(), path), path, needs);
}

void resolveDisplayNames(ParsedMessage& message)
{
    if (!message.namesPending) {
        return;
    }
    ensureGMimeInitialised();
    message.displayTo = displayNamesFromRaw(viewOf(message.pendingTo));
    message.displayFrom = displayNamesFromRaw(viewOf(message.pendingFrom));
    message.namesPending = false;
    message.pendingTo.reset();
    message.pendingFrom.reset();
}

std::optional<InlinePart> readInlinePart(const QByteArray& path, const QString& contentId)
{
    ensureGMimeInitialised();
    const MessageFile file(path);
    GRef<GMimeMessage> message(parseFor(file, true));
    if (!message || contentId.isEmpty()) {
        return std::nullopt;
    }
    const QByteArray wanted = contentId.toUtf8();
    GMimePart* found = nullptr;
    walkParts(g_mime_message_get_mime_part(message.get()), [&](GMimePart* part) {
        const char* id = g_mime_object_get_content_id(GMIME_OBJECT(part));
        if (id && wanted == id) {
            found = part;
        }
        return found == nullptr;
    });
    if (!found) {
        return std::nullopt;
    }
    GMimeDataWrapper* content = g_mime_part_get_content(found);
    GMimeStream* raw = content ? g_mime_data_wrapper_get_stream(content) : nullptr;
    if (!raw || g_mime_stream_length(raw) > kMaxInlinePartBytes) {
        return std::nullopt;
    }
    GRef<GMimeStream> decoded(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, decoded.get()) < 0) {
        return std::nullopt;
    }
    GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(decoded.get()));
    InlinePart part;
    part.data = QByteArray(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
    gchar* mimeType = g_mime_content_type_get_mime_type(g_mime_object_get_content_type(GMIME_OBJECT(found)));
    part.mimeType = QByteArray(mimeType ? mimeType : "application/octet-stream");
    g_free(mimeType);
    return part;
}

} // namespace velmora
