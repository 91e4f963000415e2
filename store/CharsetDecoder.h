#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <iconv.h>

namespace velmora {

// Turns text of a MIME charset into UTF-16 piece by piece, so a caller can stop once it has enough. Every
// charset GMime's iconv layer knows is accepted; bytes that are not valid in the charset become U+FFFD, and
// an unknown or missing charset is read as UTF-8. Never throws on content.
class CharsetDecoder
{
public:
    explicit CharsetDecoder(const QByteArray& charset);
    ~CharsetDecoder();
    CharsetDecoder(const CharsetDecoder&) = delete;
    CharsetDecoder& operator=(const CharsetDecoder&) = delete;

    QString decode(const char* data, qsizetype size);
    // What an incomplete character left at the end of the input gives.
    QString finish();

private:
    iconv_t m_iconv;
    QByteArray m_charset;
    QByteArray m_pending;
    QStringDecoder m_utf8;
};

} // namespace velmora
