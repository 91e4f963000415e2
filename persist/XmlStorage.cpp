#include "XmlStorage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velmora {

namespace {

    const QString kRootName = QStringLiteral("Configuration");

    bool isNameChar(QChar c)
    {
        const char16_t u = c.unicode();
        return u == '-' || u == '.' || (u >= '0' && u <= '9') || u == ':' || (u >= 'A' && u <= 'Z') || u == '_'
            || (u >= 'a' && u <= 'z');
    }

    bool isWhiteSpace(QChar c)
    {
        const char16_t u = c.unicode();
        return u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r' || u == ' ';
    }

} // namespace

XmlStorage::XmlStorage()
    : m_newDocumentEncoding(LocaleCharsetName())
{
    XmlEncoding::fromName(m_newDocumentEncoding, m_encoding);
}

XmlStorage::~XmlStorage()
{
    if (!m_flushOnDestroy) {
        return;
    }
    try {
        flush();
    } catch (...) {
        // The program is ending; a failed last write must not end it abnormally.
    }
}

QString XmlStorage::ElementName(const QString& segment)
{
    QString name = segment;
    for (QChar& c : name) {
        if (isWhiteSpace(c) || !isNameChar(c)) {
            c = QLatin1Char('_');
        }
    }
    // "-", "." and digits may not start an XML name; written as they are, the whole file would be unreadable
    // at the next start.
    if (!name.isEmpty()
        && (name.front() == QLatin1Char('-') || name.front() == QLatin1Char('.') || name.front().isDigit())) {
        name.front() = QLatin1Char('_');
    }
    return name;
}

QStringList XmlStorage::PathElements(const QString& path)
{
    QStringList elements;
    bool first = true;
    for (const QString& segment : path.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (first && segment == kRootName) {
            first = false;
            continue;
        }
        first = false;
        elements.append(ElementName(segment));
    }
    return elements;
}

qint64 XmlStorage::IntegerFromText(const QString& text)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    return ok ? value : -1;
}

bool XmlStorage::BooleanFromText(const QString& text)
{
    for (const char* word : { "TRUE", "YES", "Y" }) {
        if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    for (const char* word : { "FALSE", "NO", "N" }) {
        if (text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) {
            return false;
        }
    }
    return IntegerFromText(text) != 0;
}

void XmlStorage::setFileName(const QString& fileName)
{
    m_fileName = fileName;
    m_document = XmlDocument(kRootName);
    if (!XmlEncoding::fromName(m_newDocumentEncoding, m_encoding)) {
        m_encoding = XmlEncoding();
    }
    m_readOnly = false;
    m_protectFile = false;
    m_errorString.clear();
    m_brokenFileKeptAs.clear();
    if (!m_fileName.isEmpty()) {
        load();
    }
}

void XmlStorage::load()
{
    const QFileInfo info(m_fileName);
    if (!info.exists()) {
        return;
    }
    if (!info.isFile()) {
        m_errorString
            = QStringLiteral("%1 is not a regular file; settings start empty and are not saved").arg(m_fileName);
        m_protectFile = true;
        return;
    }
    // The owner's write permission stands for the file's read-only mark. The permission bits are asked, not
    // the right to open the file for writing, which the superuser has on every file.
    m_readOnly = !(info.permissions() & QFileDevice::WriteOwner);
    if (info.size() > kMaxFileSize) {
        keepBrokenFile(QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize));
        return;
    }
    QFile file(m_fileName);
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) {
        bytes = file.read(kMaxFileSize + 1);
    }
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        m_errorString = QStringLiteral("cannot read %1: %2; settings start empty and the file is left as it is")
                            .arg(m_fileName, file.errorString());
        m_protectFile = true;
        return;
    }
    if (bytes.isEmpty()) {
        // Nothing to keep: an empty file is treated like an absent one.
        return;
    }
    QString text;
    XmlEncoding encoding;
    QString reason;
    if (!DecodeXmlBytes(bytes, text, encoding, reason)) {
        keepBrokenFile(reason);
        return;
    }
    XmlDocument document(kRootName);
    if (!document.parse(text, reason)) {
        keepBrokenFile(reason);
        return;
    }
    m_document = std::move(document);
    m_encoding = encoding;
}

void XmlStorage::keepBrokenFile(const QString& reason)
{
    m_errorString = QStringLiteral("%1 is not a readable configuration file (%2)").arg(m_fileName, reason);
    if (m_readOnly) {
        // A read-only file is never written, so it can stay where it is.
        m_errorString += QStringLiteral("; it is read-only and stays as it is");
        return;
    }
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = m_fileName + QStringLiteral(".broken-") + stamp;
    QString target = base;
    for (int n = 1; QFileInfo::exists(target) && n < 1000; ++n) {
        target = base + QLatin1Char('-') + QString::number(n);
    }
    // QFile::rename never replaces an existing file.
    if (!QFileInfo::exists(target) && QFile::rename(m_fileName, target)) {
        m_brokenFileKeptAs = target;
        m_errorString += QStringLiteral("; it was kept as %1 and settings start empty").arg(target);
    } else {
        m_protectFile = true;
        m_errorString += QStringLiteral("; it could not be moved aside, so it will not be overwritten");
    }
}

bool XmlStorage::writeBytes(QIODevice& file, const QByteArray& bytes)
{
    return file.write(bytes) == bytes.size();
}

bool XmlStorage::flush()
{
    if (m_fileName.isEmpty() || m_readOnly || m_protectFile) {
        return true;
    }
    const QFileInfo info(m_fileName);
    if (!QDir().mkpath(info.absolutePath())) {
        m_errorString = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly)) {
        m_errorString = QStringLiteral("cannot write %1: %2").arg(m_fileName, file.errorString());
        return false;
    }
    if (!writeBytes(file, toBytes())) {
        m_errorString = QStringLiteral("cannot write %1: %2").arg(m_fileName, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_errorString = QStringLiteral("cannot write %1: %2").arg(m_fileName, file.errorString());
        return false;
    }
    return true;
}

QByteArray XmlStorage::toBytes() const
{
    return m_encoding.encode(m_document.serialize(m_encoding.name));
}

const XmlNode* XmlStorage::find(const QString& path) const
{
    const QStringList elements = PathElements(path);
    if (elements.isEmpty()) {
        return nullptr;
    }
    const XmlNode* node = &m_document.root();
    for (const QString& element : elements) {
        node = node->childElement(element);
        if (!node) {
            return nullptr;
        }
    }
    return node;
}

XmlNode* XmlStorage::findOrCreate(const QString& path)
{
    const QStringList elements = PathElements(path);
    if (elements.isEmpty()) {
        return nullptr;
    }
    XmlNode* node = &m_document.root();
    for (const QString& element : elements) {
        XmlNode* child = node->childElement(element);
        node = child ? child : node->appendElement(element);
    }
    return node;
}

bool XmlStorage::valueStored(const QString& path) const
{
    return find(path) != nullptr;
}

QString XmlStorage::readString(const QString& path, const QString& defaultValue) const
{
    const XmlNode* node = find(path);
    return node ? node->text : defaultValue;
}

qint64 XmlStorage::readInteger(const QString& path, qint64 defaultValue) const
{
    const XmlNode* node = find(path);
    return node ? IntegerFromText(node->text) : defaultValue;
}

bool XmlStorage::readBoolean(const QString& path, bool defaultValue) const
{
    const XmlNode* node = find(path);
    return node ? BooleanFromText(node->text) : defaultValue;
}

void XmlStorage::writeString(const QString& path, const QString& value)
{
    if (m_readOnly) {
        return;
    }
    if (XmlNode* node = findOrCreate(path)) {
        node->text = value;
    }
}

void XmlStorage::writeInteger(const QString& path, qint64 value)
{
    writeString(path, QString::number(value));
}

void XmlStorage::writeBoolean(const QString& path, bool value)
{
    writeString(path, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}

} // namespace velmora
