#pragma once

#include <QByteArray>

namespace velmora {

// Joins each run of adjacent RFC 2047 encoded words of one charset into a single encoded word, so that a
// character split across two words (common in real mail) decodes whole. GMime decodes a run of base64 words as
// one stream and stops at the first word's padding, dropping the rest of the text; a single word avoids that.
// Everything else of `raw` is kept byte for byte.
QByteArray mergeEncodedWords(const QByteArray& raw);

} // namespace velmora
