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

// The value text for key: after the first non-comment piece holding the key's
// text and one separator character, at most kValue characters.
std::string selected_text(std::string_view content, std::string_view key)
{
    content = content.substr(0, settings::kReadLimit);
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A file in memory: the reader opens it by name like any other.
    static const int scratch = memfd_create("powermenu-fuzz-conf.ini", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(scratch);
    const std::string_view content(reinterpret_cast<const char*>(data), size);
    if (ftruncate(scratch, 0) != 0 || pwrite(scratch, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    FILE* file = settings::open_conf(path.c_str());
    if (!file) {
        std::fprintf(stderr, "powermenu fuzzer: the reader would not open a regular file\n");
        std::abort();
    }
    for (const char* key : settings::kKeys) {
        const int got = settings::read_int(file, key);
        const long want = std::strtol(selected_text(content, key).c_str(), nullptr, 10);
        if (got != std::clamp<long>(want, INT_MIN, INT_MAX)) {
            std::fprintf(stderr, "powermenu fuzzer: %s read as %d, the rules give %ld\n", key, got, want);
            std::abort();
        }
    }
    std::fclose(file);
    return 0;
}
