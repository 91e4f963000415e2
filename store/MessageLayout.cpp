#include "MessageLayout.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace velmora {
namespace {

    using View = std::string_view;
    constexpr std::size_t npos = View::npos;
    // Deeper nesting is left to the full parser.
    constexpr int kMaxNesting = 16;

    char lower(char c)
    {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
    }

    // ASCII case-insensitive equality.
    bool equalsFolded(View a, View b)
    {
        if (a.size() != b.size()) {
            return false;
        }
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (lower(a[i]) != lower(b[i])) {
                return false;
            }
        }
        return true;
    }

    bool isFieldNameChar(unsigned char c)
    {
        return c > 32 && c < 127 && c != ':';
    }

    // RFC 2045 token characters.
    bool isTokenChar(unsigned char c)
    {
        return c > 32 && c < 127 && !std::strchr("()<>@,;:\\\"/[]?=", c);
    }

    bool isBlank(char c)
    {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n';
    }

    bool hasEightBit(View text)
    {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                return true;
            }
        }
        return false;
    }

    // The fields of one header block that decide what the search reads.
    struct HeaderBlock
    {
        std::size_t end = 0; // just past the blank line that closes it
        std::optional<View> subject, to, from, contentType, transferEncoding, disposition;
    };

    // Sets `slot` unless the field came before: a repeated field is read differently by different parsers.
    bool takeOnce(std::optional<View>& slot, View value)
    {
        if (slot) {
            return false;
        }
        slot = value;
        return true;
    }

    // Reads the header block starting at `pos`. Every line must be a field or the continuation of one, and a
    // blank line must close the block.
    bool readHeaderBlock(View text, std::size_t pos, bool topLevel, HeaderBlock& block)
    {
        std::optional<View>* current = nullptr; // the field whose value the following lines continue
        std::size_t valueStart = 0;
        bool anyField = false;
        while (true) {
            const std::size_t lineEnd = text.find('\n', pos);
            if (lineEnd == npos) {
                return false; // the block never ends
            }
            const auto close = [&]() {
                if (current) {
                    **current = text.substr(valueStart, pos - valueStart);
                    current = nullptr;
                }
            };
            if (lineEnd == pos || (lineEnd == pos + 1 && text[pos] == '\r')) {
                close();
                block.end = lineEnd + 1;
                return true;
            }
            const char first = text[pos];
            if (first == ' ' || first == '\t') {
                if (!anyField) {
                    return false; // continues nothing
                }
                pos = lineEnd + 1;
                continue;
            }
            close();
            if (first == '-' && pos + 1 < text.size() && text[pos + 1] == '-') {
                return false; // could be a boundary: never take it for a field
            }
            std::size_t colon = pos;
            while (colon < lineEnd && isFieldNameChar(static_cast<unsigned char>(text[colon]))) {
                ++colon;
            }
            if (colon == pos || colon == lineEnd || text[colon] != ':') {
                return false;
            }
            anyField = true;
            const View name = text.substr(pos, colon - pos);
            std::optional<View>* slot = nullptr;
            if (equalsFolded(name, "content-type")) {
                slot = &block.contentType;
            } else if (equalsFolded(name, "content-transfer-encoding")) {
                slot = &block.transferEncoding;
            } else if (equalsFolded(name, "content-disposition")) {
                slot = &block.disposition;
            } else if (topLevel && equalsFolded(name, "subject")) {
                slot = &block.subject;
            } else if (topLevel && equalsFolded(name, "to")) {
                slot = &block.to;
            } else if (topLevel && equalsFolded(name, "from")) {
                slot = &block.from;
            }
            if (slot) {
                if (!takeOnce(*slot, View())) {
                    return false;
                }
                current = slot;
                valueStart = colon + 1;
            }
            pos = lineEnd + 1;
        }
    }

    struct ContentType
    {
        View type;
        View subtype;
        std::optional<View> charset;
        std::optional<View> boundary;
    };

    void skipBlanks(View text, std::size_t& pos)
    {
        while (pos < text.size() && isBlank(text[pos])) {
            ++pos;
        }
    }

    std::size_t tokenEnd(View text, std::size_t pos)
    {
        while (pos < text.size() && isTokenChar(static_cast<unsigned char>(text[pos]))) {
            ++pos;
        }
        return pos;
    }

    // type/subtype followed by name=value parameters, values plain tokens or quoted strings without escapes.
    // Comments, RFC 2231 and RFC 2047 parameters and repeated names are left to the full parser.
    bool parseContentType(View value, ContentType& type)
    {
        std::size_t pos = 0;
        skipBlanks(value, pos);
        std::size_t end = tokenEnd(value, pos);
        if (end == pos || end >= value.size() || value[end] != '/') {
            return false;
        }
        type.type = value.substr(pos, end - pos);
        pos = end + 1;
        end = tokenEnd(value, pos);
        if (end == pos) {
            return false;
        }
        type.subtype = value.substr(pos, end - pos);
        pos = end;
        std::vector<View> names;
        while (true) {
            skipBlanks(value, pos);
            if (pos == value.size()) {
                return true;
            }
            if (value[pos] != ';') {
                return false;
            }
            ++pos;
            skipBlanks(value, pos);
            end = tokenEnd(value, pos);
            if (end == pos || end >= value.size() || value[end] != '=') {
                return false;
            }
            const View name = value.substr(pos, end - pos);
            if (name.find('*') != npos) {
                return false;
            }
            pos = end + 1;
            View parameter;
            if (pos < value.size() && value[pos] == '"') {
                const std::size_t close = value.find('"', pos + 1);
                if (close == npos) {
                    return false;
                }
                parameter = value.substr(pos + 1, close - pos - 1);
                if (parameter.find_first_of("\\\n") != npos) {
                    return false;
                }
                pos = close + 1;
            } else {
                end = tokenEnd(value, pos);
                if (end == pos) {
                    return false;
                }
                parameter = value.substr(pos, end - pos);
                pos = end;
            }
            for (const View seen : names) {
                if (equalsFolded(seen, name)) {
                    return false;
                }
            }
            names.push_back(name);
            // Encoded words in these two are read differently by different parsers; in a file name they do no harm.
            const bool plainValue = parameter.find("=?") == npos && !hasEightBit(parameter);
            if (equalsFolded(name, "charset")) {
                type.charset = parameter;
            } else if (equalsFolded(name, "boundary")) {
                type.boundary = parameter;
            } else {
                continue;
            }
            if (!plainValue) {
                return false;
            }
        }
    }

    // The disposition's first word, which alone decides whether the part is an attachment.
    bool isAttachment(View value, bool& attachment)
    {
        std::size_t pos = 0;
        skipBlanks(value, pos);
        const std::size_t end = tokenEnd(value, pos);
        if (end == pos) {
            return false;
        }
        std::size_t after = end;
        skipBlanks(value, after);
        if (after != value.size() && value[after] != ';') {
            return false;
        }
        attachment = equalsFolded(value.substr(pos, end - pos), "attachment");
        return true;
    }

    bool parseEncoding(View value, TransferEncoding& encoding)
    {
        std::size_t pos = 0;
        skipBlanks(value, pos);
        const std::size_t end = tokenEnd(value, pos);
        std::size_t after = end;
        skipBlanks(value, after);
        if (end == pos || after != value.size()) {
            return false;
        }
        const View word = value.substr(pos, end - pos);
        if (equalsFolded(word, "base64")) {
            encoding = TransferEncoding::Base64;
        } else if (equalsFolded(word, "quoted-printable")) {
            encoding = TransferEncoding::QuotedPrintable;
        } else if (equalsFolded(word, "7bit") || equalsFolded(word, "8bit") || equalsFolded(word, "binary")) {
            encoding = TransferEncoding::None;
        } else {
            return false;
        }
        return true;
    }

    enum class LineKind : quint8 { Content, Separator, End };

    // What a line starting with "--" is to `boundary`: only blanks may follow the marker.
    LineKind classify(View line, View boundary)
    {
        if (line.size() < 2 + boundary.size() || line.compare(2, boundary.size(), boundary) != 0) {
            return LineKind::Content;
        }
        View rest = line.substr(2 + boundary.size());
        const auto onlyBlanks = [](View tail) {
            for (const char c : tail) {
                if (c != ' ' && c != '\t') {
                    return false;
                }
            }
            return true;
        };
        if (rest.size() >= 2 && rest[0] == '-' && rest[1] == '-' && onlyBlanks(rest.substr(2))) {
            return LineKind::End;
        }
        return onlyBlanks(rest) ? LineKind::Separator : LineKind::Content;
    }

    // No NUL byte, and every CR the first half of a CRLF: other bytes end lines differently in different parsers.
    bool plainLineEnds(View text)
    {
        if (text.empty()) {
            return false; // nothing to read: the full parser says what an empty file is
        }
        if (std::memchr(text.data(), '\0', text.size())) {
            return false;
        }
        const char* end = text.data() + text.size();
        for (const char* p = text.data(); (p = static_cast<const char*>(std::memchr(p, '\r', end - p))); ++p) {
            if (p + 1 == end || p[1] != '\n') {
                return false;
            }
        }
        return true;
    }

    class Scanner
    {
    public:
        explicit Scanner(View text)
            : m_text(text)
        {
        }

        std::optional<MessageLayout> scan()
        {
            HeaderBlock top;
            if (!readHeaderBlock(m_text, 0, true, top)) {
                return std::nullopt;
            }
            MessageLayout layout;
            layout.headers.subject = top.subject;
            layout.headers.to = top.to;
            layout.headers.from = top.from;
            m_layout = &layout;
            std::size_t after = 0;
            if (!entity(top, 0, after)) {
                return std::nullopt;
            }
            return layout;
        }

    private:
        bool done() const { return m_layout->plain.found && m_layout->html.found; }

        // The entity whose header block is `block`; `after` receives the start of the line that ended it when it is
        // part of a multipart (its closing boundary line), or the end of the text.
        bool entity(const HeaderBlock& block, int depth, std::size_t& after)
        {
            ContentType type { "text", "plain", std::nullopt, std::nullopt };
            if (block.contentType && !parseContentType(*block.contentType, type)) {
                return false;
            }
            if (equalsFolded(type.type, "multipart")) {
                if (!type.boundary || type.boundary->empty() || equalsFolded(type.subtype, "digest")
                    || depth >= kMaxNesting) {
                    return false;
                }
                return multipart(block.end, *type.boundary, depth, after);
            }
            if (equalsFolded(type.type, "message")) {
                return false;
            }
            TransferEncoding encoding = TransferEncoding::None;
            if (block.transferEncoding && !parseEncoding(*block.transferEncoding, encoding)) {
                return false;
            }
            bool attachment = false;
            if (block.disposition && !isAttachment(*block.disposition, attachment)) {
                return false;
            }
            std::size_t end = m_text.size();
            if (!m_bounds.empty()) {
                LineKind kind = LineKind::Content;
                if (!nextBoundary(block.end, end, kind)) {
                    return false;
                }
                m_lastKind = kind;
            }
            after = end;
            if (attachment || !equalsFolded(type.type, "text")) {
                return true;
            }
            TextPartLocation* slot = nullptr;
            if (equalsFolded(type.subtype, "plain")) {
                slot = &m_layout->plain;
            } else if (equalsFolded(type.subtype, "html")) {
                slot = &m_layout->html;
            }
            if (!slot || slot->found) {
                return true;
            }
            // The line break before a boundary line belongs to the boundary: as many bytes as the boundary line's
            // own line end has (GMime takes two before a CRLF boundary line even after a bare LF).
            std::size_t contentEnd = end;
            if (!m_bounds.empty() && contentEnd > block.end) {
                const std::size_t lineEnd = m_text.find('\n', end);
                const std::size_t cut = lineEnd != npos && lineEnd > end && m_text[lineEnd - 1] == '\r' ? 2 : 1;
                if (contentEnd - block.end < cut) {
                    return false;
                }
                contentEnd -= cut;
            }
            slot->found = true;
            slot->content = m_text.substr(block.end, contentEnd - block.end);
            slot->encoding = encoding;
            if (type.charset) {
                slot->charset = QByteArray(type.charset->data(), static_cast<qsizetype>(type.charset->size()));
            }
            return true;
        }

        // The next line at or after `pos` that is a boundary of the innermost multipart. A line that is a boundary
        // of an outer one first means the structure is broken; that, and reaching the end, give false.
        bool nextBoundary(std::size_t pos, std::size_t& lineStart, LineKind& kind) const
        {
            while (true) {
                std::size_t start;
                if (pos + 1 < m_text.size() && m_text[pos] == '-' && m_text[pos + 1] == '-'
                    && (pos == 0 || m_text[pos - 1] == '\n')) {
                    start = pos;
                } else {
                    // Only lines that start with "--" and a boundary of the stack can end anything: memmem skips to
                    // the next of those with long needles, far faster than visiting every line of an attachment.
                    const std::size_t from = pos == 0 ? 0 : pos - 1;
                    std::size_t first = npos;
                    for (const std::string& needle : m_needles) {
                        const void* hit
                            = ::memmem(m_text.data() + from, m_text.size() - from, needle.data(), needle.size());
                        if (hit != nullptr) {
                            first = std::min(first,
                                             static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()));
                        }
                    }
                    if (first == npos) {
                        return false;
                    }
                    start = first + 1;
                }
                std::size_t lineEnd = m_text.find('\n', start);
                if (lineEnd == npos) {
                    lineEnd = m_text.size();
                }
                View line = m_text.substr(start, lineEnd - start);
                if (!line.empty() && line.back() == '\r') {
                    line.remove_suffix(1);
                }
                kind = classify(line, m_bounds.back());
                if (kind != LineKind::Content) {
                    lineStart = start;
                    return true;
                }
                for (std::size_t i = 0; i + 1 < m_bounds.size(); ++i) {
                    if (classify(line, m_bounds[i]) != LineKind::Content) {
                        return false;
                    }
                }
                pos = lineEnd;
                if (pos >= m_text.size()) {
                    return false;
                }
            }
        }

        std::size_t lineAfter(std::size_t lineStart) const
        {
            const std::size_t lineEnd = m_text.find('\n', lineStart);
            return lineEnd == npos ? m_text.size() : lineEnd + 1;
        }

        bool multipart(std::size_t pos, View boundary, int depth, std::size_t& after)
        {
            for (const View outer : m_bounds) {
                if (outer.starts_with(boundary) || boundary.starts_with(outer)) {
                    return false;
                }
            }
            m_bounds.push_back(boundary);
            m_needles.push_back("\n--" + std::string(boundary));
            std::size_t line = 0;
            LineKind kind = LineKind::Content;
            if (!nextBoundary(pos, line, kind) || kind != LineKind::Separator) {
                return false; // no part at all
            }
            while (kind == LineKind::Separator && !done()) {
                HeaderBlock block;
                if (!readHeaderBlock(m_text, lineAfter(line), false, block)) {
                    return false;
                }
                std::size_t end = 0;
                if (!entity(block, depth + 1, end)) {
                    return false;
                }
                if (done()) {
                    break;
                }
                line = end;
                kind = m_lastKind;
                if (kind == LineKind::Content) {
                    // A nested multipart ended at its own end boundary; what follows up to this one's next
                    // boundary is the nested one's epilogue.
                    if (!nextBoundary(lineAfter(end), line, kind)) {
                        return false;
                    }
                }
            }
            m_bounds.pop_back();
            m_needles.pop_back();
            // Closing the multipart: the caller goes on after its end line (or stops, all parts found).
            after = line;
            m_lastKind = LineKind::Content;
            if (!done() && kind != LineKind::End) {
                return false;
            }
            return true;
        }

        View m_text;
        MessageLayout* m_layout = nullptr;
        std::vector<View> m_bounds;
        std::vector<std::string> m_needles; // "\n--" and each boundary
        LineKind m_lastKind = LineKind::Content; // how the last leaf's content ended
    };

} // namespace

std::optional<MessageLayout> locateMessageLayout(std::string_view message)
{
    if (!plainLineEnds(message)) {
        return std::nullopt;
    }
    return Scanner(message).scan();
}

std::optional<TopHeaderFields> locateTopHeaderFields(std::string_view headerBlock)
{
    if (!plainLineEnds(headerBlock)) {
        return std::nullopt;
    }
    HeaderBlock block;
    if (!readHeaderBlock(headerBlock, 0, true, block)) {
        return std::nullopt;
    }
    return TopHeaderFields { block.subject, block.to, block.from };
}

} // namespace velmora
