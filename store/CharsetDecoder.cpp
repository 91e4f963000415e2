#include "CharsetDecoder.h"

#include <gmime/gmime.h>

#include <cerrno>
#include <vector>

namespace velmora {
namespace {

    const iconv_t kNoIconv = reinterpret_cast<iconv_t>(-1);
    constexpr char kReplacement[] = "\xEF\xBF\xBD";
    // No charset has a character longer than this; a longer incomplete tail is garbage.
    constexpr qsizetype kMaxSequence = 16;

    bool isUtf8Family(const QByteArray& name)
    {
        return name.isEmpty() || name == "utf-8" || name == "utf8" || name == "us-ascii" || name == "ascii"
            || name == "ansi_x3.4-1968" || name == "7bit" || name == "8bit";
    }

    // Converters kept open per thread: opening one loads the C library's converter module and closing the last
    // unloads it again, which costs more than decoding a whole message.
    class ConverterCache
    {
    public:
        ~ConverterCache()
        {
            for (const auto& entry : m_free) {
                g_mime_iconv_close(entry.second);
            }
        }

        iconv_t acquire(const QByteArray& name)
        {
            for (auto it = m_free.begin(); it != m_free.end(); ++it) {
                if (it->first == name) {
                    const iconv_t cd = it->second;
                    m_free.erase(it);
                    return cd;
                }
            }
            return g_mime_iconv_open("UTF-8", name.constData());
        }

        void release(const QByteArray& name, iconv_t cd)
        {
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            m_free.emplace_back(name, cd);
            if (m_free.size() > 16) {
                g_mime_iconv_close(m_free.front().second);
                m_free.erase(m_free.begin());
            }
        }

    private:
        std::vector<std::pair<QByteArray, iconv_t>> m_free;
    };

    ConverterCache& converters()
    {
        thread_local ConverterCache cache;
        return cache;
    }

} // namespace

CharsetDecoder::CharsetDecoder(const QByteArray& charset)
    : m_iconv(kNoIconv)
    , m_utf8(QStringDecoder::Utf8)
{
    const QByteArray name = charset.trimmed().toLower();
    if (isUtf8Family(name)) {
        // ASCII declared over 8-bit text is nearly always UTF-8 in practice; invalid bytes still become U+FFFD.
        return;
    }
    // Latin-1 labels are written by programs that mean windows-1252, which only adds printable characters.
    const QByteArray effective
        = (name == "iso-8859-1" || name == "iso8859-1" || name == "latin1") ? QByteArray("windows-1252") : name;
    m_charset = effective;
    m_iconv = converters().acquire(effective);
}

CharsetDecoder::~CharsetDecoder()
{
    if (m_iconv != kNoIconv) {
        converters().release(m_charset, m_iconv);
    }
}

QString CharsetDecoder::decode(const char* data, qsizetype size)
{
    if (m_iconv == kNoIconv) {
        return m_utf8.decode(QByteArrayView(data, size));
    }
    m_pending.append(data, size);
    QByteArray out;
    out.reserve(m_pending.size() * 2 + 16);
    char buffer[4096];
    char* in = m_pending.data();
    std::size_t inLeft = static_cast<std::size_t>(m_pending.size());
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(m_iconv, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<qsizetype>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        if (errno == EINVAL && inLeft < static_cast<std::size_t>(kMaxSequence)) {
            break; // an incomplete character: wait for the next piece
        }
        // An invalid byte (or an endless incomplete one): replace it and resynchronise after it.
        out.append(kReplacement);
        ++in;
        --inLeft;
        iconv(m_iconv, nullptr, nullptr, nullptr, nullptr);
    }
    m_pending = QByteArray(in, static_cast<qsizetype>(inLeft));
    return m_utf8.decode(out);
}

QString CharsetDecoder::finish()
{
    // An incomplete character at the very end counts as one undecodable character; the UTF-8 decoder drops
    // an incomplete sequence it holds, which is the same loss of a character that was never complete.
    QString tail;
    if (m_iconv != kNoIconv && !m_pending.isEmpty()) {
        m_pending.clear();
        tail = QString(QChar::ReplacementCharacter);
    }
    return tail;
}

} // namespace velmora
