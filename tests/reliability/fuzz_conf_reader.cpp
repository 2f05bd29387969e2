// libFuzzer target for the conf.ini reader. Each input becomes a real file;
// every value the reader returns must equal what strtol gives for the text
// that an independent model of the rules selects.
#include "settings/conf_keys.h"
#include "settings/conf_reader.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr std::size_t kPiece = 49;
constexpr std::size_t kValue = 19;
constexpr std::size_t kLimit = settings::kReadLimit;
// An input that starts with this byte is moved to just before the read
// limit (4 times its second byte before it), so that the limit cuts through
// the fuzzer's bytes.
constexpr char kNearLimit = '\x01';

int scratch = -1;
std::string path;

// The value text for key: after the first non-comment piece holding the key's
// text and one separator character, at most kValue characters.
std::string selected_text(std::string_view content, std::string_view key)
{
    content = content.substr(0, kLimit);
    while (!content.empty()) {
        const std::size_t line_break = content.find('\n');
        const std::size_t length =
            std::min(line_break == std::string_view::npos ? content.size() : line_break + 1, kPiece);
        std::string_view piece = content.substr(0, length);
        content.remove_prefix(length);
        if (piece.front() == '#')
            continue;
        // The piece is C text: it ends at its first NUL byte.
        piece = piece.substr(0, piece.find('\0'));
        const std::size_t at = piece.find(key);
        if (at == std::string_view::npos)
            continue;
        std::string_view value = piece.substr(at + key.size());
        if (!value.empty())
            value.remove_prefix(1);
        return std::string(value.substr(0, kValue));
    }
    return {};
}

int expected_value(std::string_view content, std::string_view key)
{
    const long value = std::strtol(selected_text(content, key).c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// Comment lines of exactly `length` bytes in all, each ending a piece.
std::string comment_filler(std::size_t length)
{
    std::string filler;
    while (filler.size() < length) {
        const std::size_t line = std::min(kPiece, length - filler.size());
        filler += line == 1 ? std::string("\n") : "#" + std::string(line - 2, 'x') + "\n";
    }
    return filler;
}

std::string content_for(const std::uint8_t* data, std::size_t size)
{
    std::string content(reinterpret_cast<const char*>(data), size);
    if (size >= 2 && content[0] == kNearLimit) {
        const std::size_t before_limit = 4 * static_cast<unsigned char>(content[1]);
        content = comment_filler(kLimit - before_limit) + content.substr(2);
    }
    return content;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A file in memory: the reader opens it by name like any other, without
    // the fuzzer waiting on a disk.
    scratch = memfd_create("powermenu-fuzz-conf.ini", MFD_CLOEXEC);
    if (scratch < 0) {
        std::perror("powermenu fuzzer: cannot create its scratch file");
        std::exit(1);
    }
    path = "/proc/self/fd/" + std::to_string(scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string content = content_for(data, size);
    const auto length = static_cast<ssize_t>(content.size());
    if (ftruncate(scratch, 0) != 0 || pwrite(scratch, content.data(), content.size(), 0) != length) {
        std::perror("powermenu fuzzer: cannot write its scratch file");
        std::abort();
    }
    FILE* file = settings::open_conf(path.c_str());
    if (!file) {
        std::fprintf(stderr, "powermenu fuzzer: the reader would not open a regular file\n");
        std::abort();
    }
    for (const char* key : settings::kKeys) {
        const int got = settings::read_int(file, key);
        const int want = expected_value(content, key);
        if (got != want) {
            std::fprintf(stderr, "powermenu fuzzer: %s read as %d, the rules give %d\n", key, got, want);
            std::abort();
        }
    }
    std::fclose(file);
    return 0;
}
