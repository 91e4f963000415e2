#include "XmlEncoding.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <memory>

namespace velmora {

namespace {

    struct ConverterCloser
    {
        void operator()(UConverter* converter) const { ucnv_close(converter); }
    };
    using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

    ConverterPtr openConverter(const QString& name)
    {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr converter(ucnv_open(name.toLatin1().constData(), &status));
        if (U_FAILURE(status)) {
            return nullptr;
        }
        return converter;
    }

    QString normalizedName(const QString& name)
    {
        QString upper = name.trimmed().toUpper();
        upper.replace(QLatin1Char('_'), QLatin1Char('-'));
        return upper;
    }

    bool isUtf8Name(const QString& normalized)
    {
        return normalized == QLatin1String("UTF-8") || normalized == QLatin1String("UTF8");
    }

    bool isUtf16Family(XmlEncoding::Kind kind)
    {
        return kind == XmlEncoding::Kind::Utf16LE || kind == XmlEncoding::Kind::Utf16BE;
    }

    // The encoding name of an XML declaration at the start of `head`, or an empty text.
    QString declaredEncoding(const QString& head)
    {
        static const QRegularExpression declaration(
            QStringLiteral(R"(^<\?xml\s[^>]*?\bencoding\s*=\s*["']([A-Za-z][A-Za-z0-9._\-]*)["'])"));
        const QRegularExpressionMatch match = declaration.match(head);
        return match.hasMatch() ? match.captured(1) : QString();
    }

    bool decodeWithQt(QStringConverter::Encoding encoding, QByteArrayView bytes, QString& text)
    {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        text = decoder.decode(bytes);
        return !decoder.hasError();
    }

    bool decodeWithIcu(const QString& name, QByteArrayView bytes, QString& text)
    {
        ConverterPtr converter = openConverter(name);
        if (!converter) {
            return false;
        }
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
        const auto length = static_cast<int32_t>(bytes.size());
        // A byte never yields more than two UTF-16 units in the converters we meet; the retry covers the rest.
        QString out(qMax<qsizetype>(16, bytes.size() * 2), Qt::Uninitialized);
        int32_t produced = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(out.data()),
                                         static_cast<int32_t>(out.size()), bytes.data(), length, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            status = U_ZERO_ERROR;
            out.resize(produced + 1);
            produced = ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(out.data()),
                                     static_cast<int32_t>(out.size()), bytes.data(), length, &status);
        }
        if (U_FAILURE(status)) {
            return false;
        }
        out.truncate(produced);
        text = out;
        return true;
    }

    QByteArray encodeWithIcu(const QString& name, const QString& text)
    {
        ConverterPtr converter = openConverter(name);
        if (!converter) {
            return text.toUtf8();
        }
        UErrorCode status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_ESCAPE, UCNV_ESCAPE_XML_DEC, nullptr, nullptr,
                              &status);
        const auto* source = reinterpret_cast<const UChar*>(text.utf16());
        const auto length = static_cast<int32_t>(text.size());
        QByteArray out(qMax<qsizetype>(16, text.size() * 2), Qt::Uninitialized);
        int32_t produced
            = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), source, length, &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            status = U_ZERO_ERROR;
            out.resize(produced + 1);
            produced = ucnv_fromUChars(converter.get(), out.data(), static_cast<int32_t>(out.size()), source, length,
                                       &status);
        }
        if (U_FAILURE(status)) {
            return text.toUtf8();
        }
        out.truncate(produced);
        return out;
    }

} // namespace

bool XmlEncoding::fromName(const QString& name, XmlEncoding& out)
{
    const QString normalized = normalizedName(name);
    XmlEncoding encoding;
    encoding.name = name.trimmed();
    if (isUtf8Name(normalized)) {
        encoding.kind = Kind::Utf8;
    } else if (normalized == QLatin1String("UTF-16") || normalized == QLatin1String("UTF16")
               || normalized == QLatin1String("UCS-2") || normalized == QLatin1String("ISO-10646-UCS-2")) {
        // The unmarked name needs the mark to tell the byte order; little-endian, as Windows writes it.
        encoding.kind = Kind::Utf16LE;
        encoding.byteOrderMark = true;
    } else if (normalized == QLatin1String("UTF-16LE")) {
        encoding.kind = Kind::Utf16LE;
    } else if (normalized == QLatin1String("UTF-16BE")) {
        encoding.kind = Kind::Utf16BE;
    } else if (openConverter(encoding.name)) {
        encoding.kind = Kind::Codepage;
    } else {
        return false;
    }
    out = encoding;
    return true;
}

QByteArray XmlEncoding::encode(const QString& text) const
{
    switch (kind) {
    case Kind::Utf8: {
        QByteArray bytes = byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        return bytes + QStringEncoder(QStringConverter::Utf8)(text);
    }
    case Kind::Utf16LE: {
        QByteArray bytes = byteOrderMark ? QByteArray("\xFF\xFE") : QByteArray();
        return bytes + QStringEncoder(QStringConverter::Utf16LE)(text);
    }
    case Kind::Utf16BE: {
        QByteArray bytes = byteOrderMark ? QByteArray("\xFE\xFF") : QByteArray();
        return bytes + QStringEncoder(QStringConverter::Utf16BE)(text);
    }
    case Kind::Codepage:
        return encodeWithIcu(name, text);
    }
    return text.toUtf8();
}

QString LocaleCharsetName()
{
    QString locale;
    for (const char* variable : { "LC_ALL", "LC_CTYPE", "LANG" }) {
        locale = qEnvironmentVariable(variable);
        if (!locale.isEmpty()) {
            break;
        }
    }
    const qsizetype dot = locale.indexOf(QLatin1Char('.'));
    if (dot < 0) {
        return QStringLiteral("UTF-8");
    }
    QString codeset = locale.mid(dot + 1);
    codeset.truncate(codeset.indexOf(QLatin1Char('@')) < 0 ? codeset.size() : codeset.indexOf(QLatin1Char('@')));
    const QString normalized = normalizedName(codeset);
    if (codeset.isEmpty() || isUtf8Name(normalized)) {
        return QStringLiteral("UTF-8");
    }
    ConverterPtr converter = openConverter(codeset);
    if (!converter) {
        return QStringLiteral("UTF-8");
    }
    UErrorCode status = U_ZERO_ERROR;
    const char* canonical = ucnv_getName(converter.get(), &status);
    for (const char* standard : { "MIME", "IANA" }) {
        UErrorCode lookup = U_ZERO_ERROR;
        const char* registered = ucnv_getStandardName(canonical, standard, &lookup);
        if (U_SUCCESS(lookup) && registered) {
            return QString::fromLatin1(registered);
        }
    }
    return codeset;
}

bool DecodeXmlBytes(const QByteArray& bytes, QString& text, XmlEncoding& encoding, QString& error)
{
    QByteArrayView data(bytes);
    XmlEncoding detected;
    bool fixedByBytes = true;
    if (data.startsWith("\xEF\xBB\xBF")) {
        detected.kind = XmlEncoding::Kind::Utf8;
        detected.byteOrderMark = true;
        data = data.sliced(3);
    } else if (data.startsWith(QByteArrayView("\xFF\xFE\x00\x00", 4))) {
        error = QStringLiteral("UTF-32 files are not supported");
        return false;
    } else if (data.startsWith("\xFF\xFE")) {
        detected.kind = XmlEncoding::Kind::Utf16LE;
        detected.byteOrderMark = true;
        data = data.sliced(2);
    } else if (data.startsWith("\xFE\xFF")) {
        detected.kind = XmlEncoding::Kind::Utf16BE;
        detected.byteOrderMark = true;
        data = data.sliced(2);
    } else if (data.size() >= 4 && data[0] != 0 && data[1] == 0 && data[3] == 0) {
        detected.kind = XmlEncoding::Kind::Utf16LE;
    } else if (data.size() >= 4 && data[0] == 0 && data[1] != 0 && data[2] == 0) {
        detected.kind = XmlEncoding::Kind::Utf16BE;
    } else {
        fixedByBytes = false;
    }

    if (fixedByBytes) {
        const bool utf16 = isUtf16Family(detected.kind);
        if (utf16 && data.size() % 2 != 0) {
            error = QStringLiteral("the UTF-16 text ends in the middle of a character");
            return false;
        }
        const auto qtEncoding = detected.kind == XmlEncoding::Kind::Utf8 ? QStringConverter::Utf8
            : detected.kind == XmlEncoding::Kind::Utf16LE                ? QStringConverter::Utf16LE
                                                                         : QStringConverter::Utf16BE;
        if (!decodeWithQt(qtEncoding, data, text)) {
            error = QStringLiteral("invalid byte sequence for %1").arg(utf16 ? "UTF-16" : "UTF-8");
            return false;
        }
        // The declaration's name is kept when it agrees with the bytes; otherwise the bytes win.
        const QString declared = declaredEncoding(text.left(256));
        XmlEncoding named;
        const bool agrees = !declared.isEmpty() && XmlEncoding::fromName(declared, named)
            && (named.kind == detected.kind || (utf16 && isUtf16Family(named.kind)));
        detected.name = agrees ? declared : QString::fromLatin1(utf16 ? "UTF-16" : "UTF-8");
        if (agrees && utf16) {
            detected.byteOrderMark = detected.byteOrderMark || named.byteOrderMark;
        }
        encoding = detected;
        return true;
    }

    const QString declared = declaredEncoding(QString::fromLatin1(data.first(qMin<qsizetype>(256, data.size()))));
    XmlEncoding named;
    if (!declared.isEmpty() && !XmlEncoding::fromName(declared, named)) {
        error = QStringLiteral("unknown character set \"%1\"").arg(declared);
        return false;
    }
    if (declared.isEmpty() || named.kind != XmlEncoding::Kind::Codepage) {
        // No declaration means UTF-8. A UTF-16 name on bytes that are plainly not UTF-16 is read the same way.
        if (!decodeWithQt(QStringConverter::Utf8, data, text)) {
            error = QStringLiteral("invalid byte sequence for UTF-8");
            return false;
        }
        encoding = XmlEncoding();
        if (!declared.isEmpty() && named.kind == XmlEncoding::Kind::Utf8) {
            encoding.name = declared;
        }
        return true;
    }
    if (!decodeWithIcu(named.name, data, text)) {
        error = QStringLiteral("invalid byte sequence for %1").arg(declared);
        return false;
    }
    encoding = named;
    return true;
}

} // namespace velmora
