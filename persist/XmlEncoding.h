#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

// The character encoding of the configuration file: how its bytes are read and how the document is written
// back. The name is the one the declaration gives; the kind says how bytes are made.
struct XmlEncoding
{
    enum class Kind { Utf8, Utf16LE, Utf16BE, Codepage };

    QString name = QStringLiteral("UTF-8");
    Kind kind = Kind::Utf8;
    bool byteOrderMark = false;

    // The encoding a declaration name stands for; false when no converter knows the name.
    static bool fromName(const QString& name, XmlEncoding& out);

    // Text to bytes. Characters the encoding cannot hold become numeric character references, so no value is
    // lost in a single-byte code page.
    QByteArray encode(const QString& text) const;
};

// The character set of the user's locale by its registered name, as a new document declares it. The C and
// POSIX locales count as UTF-8, as they do for Qt.
QString LocaleCharsetName();

// Finds the encoding of a file's bytes (byte-order mark, else the declaration, else UTF-8) and decodes them.
// Invalid byte sequences and unknown character sets fail with a reason in `error`.
bool DecodeXmlBytes(const QByteArray& bytes, QString& text, XmlEncoding& encoding, QString& error);

} // namespace velmora
