#include "settings/conf_reader.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace settings {
namespace {

// fgets(piece, kPieceLength + 1, file), except that it stops at the read
// limit, which fgets cannot count through NUL bytes.
bool read_piece(FILE* file, long& consumed, char (&piece)[kPieceLength + 1])
{
    int length = 0;
    while (length < kPieceLength && consumed < kReadLimit) {
        const int c = getc(file);
        if (c == EOF)
            break;
        ++consumed;
        piece[length++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    piece[length] = '\0';
    return length > 0;
}

// strtol's base-10 rules, saturated to the 32-bit range the settings hold.
int to_int(const char* text)
{
    const long value = std::strtol(text, nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

} // namespace

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

int read_int(FILE* file, const char* key)
{
    rewind(file);
    char value[kValueLength + 1] = {};
    char piece[kPieceLength + 1];
    long consumed = 0;
    while (read_piece(file, consumed, piece)) {
        if (piece[0] == '#')
            continue;
        const char* found = std::strstr(piece, key);
        if (!found)
            continue;
        const char* text = found + std::strlen(key);
        if (*text != '\0')
            ++text; // the separator, whatever it is
        const std::size_t length = std::min<std::size_t>(std::strlen(text), kValueLength);
        std::memcpy(value, text, length);
        value[length] = '\0';
        break;
    }
    return to_int(value);
}

} // namespace settings
