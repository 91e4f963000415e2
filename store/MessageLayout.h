#pragma once

#include <QByteArray>

#include <optional>
#include <string_view>

namespace velmora {

// How a text part's bytes are transfer-encoded.
enum class TransferEncoding : quint8 {
    None, // 7bit, 8bit, binary or no header
    Base64,
    QuotedPrintable,
};

// Where a text part's content lies in the message bytes.
struct TextPartLocation
{
    bool found = false;
    std::string_view content;
    TransferEncoding encoding = TransferEncoding::None;
    QByteArray charset; // null when the part names none
};

// The top-level header fields the search reads, each as its raw value: the text after the colon through the
// end of its last line, folding line breaks included. Empty optionals are fields the message lacks.
struct TopHeaderFields
{
    std::optional<std::string_view> subject;
    std::optional<std::string_view> to;
    std::optional<std::string_view> from;
};

struct MessageLayout
{
    TopHeaderFields headers;
    TextPartLocation plain; // the first text/plain part that is not an attachment
    TextPartLocation html; // the first text/html part that is not an attachment
};

// Locates the header fields and the text parts of a message of a common shape straight in its bytes, without
// building a MIME tree: LF or CRLF line ends, well-formed header blocks, simple Content-Type parameters, multiparts
// closed by their end boundary. The result is what the full MIME parser finds in the same bytes. Anything
// outside that shape (NUL bytes or a CR outside CRLF, header lines that are not fields, 8-bit bytes in the fields read,
// RFC 2231 parameters, message/* parts, nesting deeper than a few levels, a missing end boundary...) gives nothing, and
// the caller parses the message fully instead.
std::optional<MessageLayout> locateMessageLayout(std::string_view message);

// The same for a header block alone (the bytes up to and including the blank line that ends it).
std::optional<TopHeaderFields> locateTopHeaderFields(std::string_view headerBlock);

} // namespace velmora
