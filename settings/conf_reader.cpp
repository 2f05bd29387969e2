#include "settings/conf_reader.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {

FILE* open_conf(const char* path)
{
    // O_NONBLOCK keeps open() itself from waiting for a FIFO's writer.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    FILE* file = fdopen(fd, "r");
    if (!file)
        close(fd);
    return file;
}

PieceReader::PieceReader(FILE* file)
    : file(file)
{
    rewind(file);
}

// fgets(piece, kPieceLength + 1, file), except that it stops at the read
// limit, which fgets cannot count through NUL bytes. Unlocked reads: every
// key rereads the file, up to 1 MiB each, on one thread.
bool PieceReader::next()
{
    const bool after_line_break = piece_length == 0 || ends_line();
    int length = 0;
    while (length < kPieceLength) {
        if (consumed >= kReadLimit) {
            const int c = getc_unlocked(file);
            if (c != EOF) {
                limit_reached = true;
                ungetc(c, file);
            }
            break;
        }
        const int c = getc_unlocked(file);
        if (c == EOF)
            break;
        ++consumed;
        piece[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    piece[length] = '\0';
    if (length == 0)
        return false;
    at_line_start = after_line_break;
    if (at_line_start)
        ++line_number;
    piece_length = length;
    return true;
}

ValueSource find_value(FILE* file, const char* key)
{
    ValueSource source;
    PieceReader reader(file);
    while (reader.next()) {
        if (reader.is_comment())
            continue;
        const char* found = std::strstr(reader.text(), key);
        if (!found)
            continue;
        const char* text = found + std::strlen(key);
        if (*text != '\0')
            ++text; // the separator, whatever it is
        const std::size_t rest = std::strlen(text);
        source.found = true;
        source.line = reader.line();
        source.starts_line = reader.starts_line();
        source.piece = reader.text();
        source.offset = static_cast<std::size_t>(found - reader.text());
        source.value_text.assign(text, std::min<std::size_t>(rest, kValueLength));
        source.value_cut = rest > kValueLength;
        break;
    }
    return source;
}

Number to_number(const char* text)
{
    Number number;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    number.value = static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
    number.has_digits = end != text;
    number.saturated = value != number.value;
    number.end = static_cast<std::size_t>(end - text);
    return number;
}

int read_int(FILE* file, const char* key)
{
    return to_number(find_value(file, key).value_text.c_str()).value;
}

} // namespace settings
