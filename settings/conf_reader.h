#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace settings {

// conf.ini is read in pieces of at most this many characters; a longer line
// becomes several pieces, each searched as a line of its own.
inline constexpr int kPieceLength = 49;

// Text after a key's separator is kept up to this many characters.
inline constexpr int kValueLength = 19;

// Nothing past this many bytes is read, so a huge file cannot stall start-up.
// The fuzzer's build lowers it, so that crossing it costs kilobytes, not a MiB.
#ifndef POWERMENU_READ_LIMIT
#define POWERMENU_READ_LIMIT (1L << 20)
#endif
inline constexpr long kReadLimit = POWERMENU_READ_LIMIT;

// Opens a settings file for reading, or returns nullptr when it cannot be
// opened or is not a regular file: a FIFO or a device would block or never end.
FILE* open_conf(const char* path);

// Walks a settings file piece by piece from its first byte, the way every
// key search does.
class PieceReader {
public:
    explicit PieceReader(FILE* file);

    // Reads the next piece; false at the end of the file or of the read limit.
    bool next();

    // The piece as the key search sees it: up to its first NUL byte.
    const char* text() const { return piece; }
    // Bytes read into the piece, NUL bytes included.
    int length() const { return piece_length; }
    // The file's line (counting from 1) in which the piece starts.
    int line() const { return line_number; }
    // False for the second and later pieces of a long line.
    bool starts_line() const { return at_line_start; }
    bool ends_line() const { return piece_length > 0 && piece[piece_length - 1] == '\n'; }
    bool is_comment() const { return piece[0] == '#'; }
    // True once reading stopped at kReadLimit with more of the file left.
    bool stopped_at_limit() const { return limit_reached; }

private:
    FILE* file;
    long consumed = 0;
    char piece[kPieceLength + 1] = {};
    int piece_length = 0;
    int line_number = 0;
    bool at_line_start = true;
    bool limit_reached = false;
};

// Where a key's value comes from: the first piece, comments excepted, that
// holds the key's text.
struct ValueSource {
    bool found = false;
    int line = 0;                // the file line in which the piece starts
    bool starts_line = true;     // false when the piece is a later part of a long line
    std::string piece;           // the piece up to its first NUL byte
    std::size_t offset = 0;      // where the key's text starts in the piece
    std::string value_text;      // what is converted: at most kValueLength characters
    bool value_cut = false;      // the piece held more after the separator than value_text
};

// Finds the piece that supplies `key`. Rewinds first, so keys can be looked
// up in any order.
ValueSource find_value(FILE* file, const char* key);

// A value text converted with strtol's base-10 rules, saturated to 32 bits.
struct Number {
    int value = 0;
    bool has_digits = false;
    bool saturated = false;
    std::size_t end = 0;         // where the number's text ends in the value text
};

Number to_number(const char* text);

// The value of `key` in `file`: the first piece that holds the key's text
// (comments excepted) supplies it; 0 when none does. Rewinds first, so keys
// can be read in any order.
int read_int(FILE* file, const char* key);

} // namespace settings
