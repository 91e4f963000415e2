#pragma once

typedef struct _GMimeParserOptions GMimeParserOptions;

namespace velmora {

// Initialises GMime once per process; safe to call from any thread, any number of times.
void ensureGMimeInitialised();

// Parser options shared by every reader: raw 8-bit headers that are not UTF-8 are read as windows-1252.
// Valid after ensureGMimeInitialised(); never modified afterwards, so threads may share it.
GMimeParserOptions* messageParserOptions();

} // namespace velmora
