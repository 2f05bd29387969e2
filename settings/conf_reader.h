#pragma once

#include <cstdio>

namespace settings {

// conf.ini is read in pieces of at most this many characters; a longer line
// becomes several pieces, each searched as a line of its own.
inline constexpr int kPieceLength = 49;

// Text after a key's separator is kept up to this many characters.
inline constexpr int kValueLength = 19;

// Nothing past this many bytes is read, so a huge file cannot stall start-up.
inline constexpr long kReadLimit = 1L << 20;

// Opens a settings file for reading, or returns nullptr when it cannot be
// opened or is not a regular file: a FIFO or a device would block or never end.
FILE* open_conf(const char* path);

// The value of `key` in `file`: the first piece that holds the key's text
// (comments excepted) supplies it; 0 when none does. Rewinds first, so keys
// can be read in any order.
int read_int(FILE* file, const char* key);

} // namespace settings
