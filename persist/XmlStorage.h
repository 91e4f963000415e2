#pragma once

#include "persist/XmlDocument.h"
#include "persist/XmlEncoding.h"

#include <QString>
#include <QStringList>

class QIODevice;

namespace velmora {

// The XML file storage (`aXMLStorage`): one configuration document held in memory, loaded when the file
// name is set and written to disk once, when the storage is destroyed (or by flush()).
//
// Keys are backslash-separated paths; each segment is one element under the root `Configuration`. Values are
// the text of the last segment's element; Booleans are written "TRUE" and "FALSE".
//
// Nothing here throws. A file that cannot be used is reported through hasError()/errorString() and the
// storage goes on with an empty document, so that the window still opens; the caller logs the report.
class XmlStorage
{
public:
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

    XmlStorage();
    virtual ~XmlStorage();
    XmlStorage(const XmlStorage&) = delete;
    XmlStorage& operator=(const XmlStorage&) = delete;

    // Sets the full path of the file and loads it at once (an absent file gives an empty document). A file
    // that is not well-formed is renamed to "<name>.broken-<date>-<time>" beside it and reported.
    void setFileName(const QString& fileName);
    QString fileName() const { return m_fileName; }

    // The character set that a new document is written in; the locale's character set unless set here.
    // Takes effect at the next setFileName().
    void setNewDocumentEncoding(const QString& name) { m_newDocumentEncoding = name; }
    XmlEncoding encoding() const { return m_encoding; }

    // The file existed with no write permission for its owner: writes are ignored, the file is never written.
    bool isReadOnly() const { return m_readOnly; }

    // The last load or write problem, if any.
    bool hasError() const { return !m_errorString.isEmpty(); }
    QString errorString() const { return m_errorString; }
    // Where a file that could not be read as XML was moved, or empty.
    QString brokenFileKeptAs() const { return m_brokenFileKeptAs; }

    // Writes the whole document to the file through a temporary file in the same folder that then replaces
    // it, so an interrupted or failed write leaves the previous file whole. Creates the folder if missing.
    // Does nothing for a read-only file or one that could not be read. False when the write failed.
    bool flush();
    void setFlushOnDestroy(bool flush) { m_flushOnDestroy = flush; }

    bool valueStored(const QString& path) const;
    QString readString(const QString& path, const QString& defaultValue) const;
    // Decimal 64-bit text; a value that does not convert reads as -1.
    qint64 readInteger(const QString& path, qint64 defaultValue) const;
    // "TRUE", "YES", "Y" and "FALSE", "NO", "N" in any letter case; any other text reads as an integer, where
    // 0 is false and everything else (including -1 for no number) true.
    bool readBoolean(const QString& path, bool defaultValue) const;

    void writeString(const QString& path, const QString& value);
    void writeInteger(const QString& path, qint64 value);
    void writeBoolean(const QString& path, bool value);

    // The document as the file would hold it.
    QByteArray toBytes() const;

    // One key segment as an element name: white space and characters outside "-.0-9:A-Z_a-z" become "_", one
    // for one. A first character that cannot start an XML name also becomes "_".
    static QString ElementName(const QString& segment);
    // The element names of a key's path; a first segment "Configuration" stands for the root and is dropped.
    static QStringList PathElements(const QString& path);

    static qint64 IntegerFromText(const QString& text);
    static bool BooleanFromText(const QString& text);

protected:
    // The one place bytes go to the file; tests replace it to simulate a failing disk.
    virtual bool writeBytes(QIODevice& file, const QByteArray& bytes);

private:
    void load();
    void keepBrokenFile(const QString& reason);
    const XmlNode* find(const QString& path) const;
    XmlNode* findOrCreate(const QString& path);

    QString m_fileName;
    QString m_newDocumentEncoding;
    XmlDocument m_document;
    XmlEncoding m_encoding;
    bool m_readOnly = false;
    // The file exists but could not be read or kept aside: writing would destroy what it holds.
    bool m_protectFile = false;
    bool m_flushOnDestroy = true;
    QString m_errorString;
    QString m_brokenFileKeptAs;
};

} // namespace velmora
