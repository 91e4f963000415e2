#include "EncodedWords.h"

#include <optional>

namespace velmora {
namespace {

    struct EncodedWord
    {
        qsizetype begin = 0;
        qsizetype end = 0; // one past the closing "?="
        QByteArray charset;
        QByteArray bytes;
    };

    bool isSpace(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    int hexValue(char c)
    {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    }

    QByteArray decodeQ(const QByteArray& text)
    {
        QByteArray out;
        out.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '_') {
                out += ' ';
            } else if (c == '=' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
                out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
                i += 2;
            } else {
                out += c;
            }
        }
        return out;
    }

    // The encoded word starting at `at` ("=?charset?B?text?="), or nothing.
    std::optional<EncodedWord> wordAt(const QByteArray& raw, qsizetype at)
    {
        if (!raw.mid(at, 2).startsWith("=?")) {
            return std::nullopt;
        }
        const qsizetype q1 = raw.indexOf('?', at + 2);
        if (q1 < 0 || q1 + 2 >= raw.size() || raw[q1 + 2] != '?') {
            return std::nullopt;
        }
        const char encoding = raw[q1 + 1];
        const qsizetype close = raw.indexOf("?=", q1 + 3);
        if (close < 0) {
            return std::nullopt;
        }
        EncodedWord word;
        word.begin = at;
        word.end = close + 2;
        word.charset = raw.mid(at + 2, q1 - at - 2);
        const QByteArray text = raw.mid(q1 + 3, close - q1 - 3);
        for (const char c : word.charset + text) {
            if (isSpace(c)) {
                return std::nullopt; // an encoded word holds no white space
            }
        }
        if (word.charset.isEmpty()) {
            return std::nullopt;
        }
        if (encoding == 'B' || encoding == 'b') {
            const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded) {
                return std::nullopt;
            }
            word.bytes = decoded.decoded;
        } else if (encoding == 'Q' || encoding == 'q') {
            word.bytes = decodeQ(text);
        } else {
            return std::nullopt;
        }
        return word;
    }

} // namespace

QByteArray mergeEncodedWords(const QByteArray& raw)
{
    if (!raw.contains("=?")) {
        return raw;
    }
    QByteArray out;
    out.reserve(raw.size());
    qsizetype copied = 0;
    qsizetype at = raw.indexOf("=?");
    while (at >= 0) {
        std::optional<EncodedWord> first = wordAt(raw, at);
        if (!first) {
            at = raw.indexOf("=?", at + 2);
            continue;
        }
        // Collect the following words of the same charset separated by white space only.
        QByteArray bytes = first->bytes;
        qsizetype end = first->end;
        int count = 1;
        for (;;) {
            qsizetype next = end;
            while (next < raw.size() && isSpace(raw[next])) {
                ++next;
            }
            const std::optional<EncodedWord> word = wordAt(raw, next);
            if (!word || word->charset.compare(first->charset, Qt::CaseInsensitive) != 0) {
                break;
            }
            bytes += word->bytes;
            end = word->end;
            ++count;
        }
        if (count > 1) {
            out += raw.mid(copied, first->begin - copied);
            out += "=?" + first->charset + "?B?" + bytes.toBase64() + "?=";
            copied = end;
        }
        at = raw.indexOf("=?", end);
    }
    out += raw.mid(copied);
    return out;
}

} // namespace velmora
