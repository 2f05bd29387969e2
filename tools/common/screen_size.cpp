#include "tools/common/screen_size.h"

#include <cstring>

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

// Reads decimal digits at text[at], stopping with false once the number
// passes kLargestScreenSide, so that no size wraps round to a small one.
bool read_side(const std::string& text, std::size_t& at, int& side)
{
    const std::size_t first = at;
    side = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        side = side * 10 + (text[at++] - '0');
        if (side > kLargestScreenSide)
            return false;
    }
    return at > first && side > 0;
}

void skip_blanks(const std::string& text, std::size_t& at)
{
    while (at < text.size() && is_blank(text[at]))
        ++at;
}

bool skip_separator(const std::string& text, std::size_t& at)
{
    static const char* const kSeparators[] = {"x", "X", "*", "\u00d7"};
    for (const char* separator : kSeparators) {
        if (text.compare(at, std::strlen(separator), separator) == 0) {
            at += std::strlen(separator);
            return true;
        }
    }
    return false;
}

} // namespace

QSize parse_screen_size(const std::string& text)
{
    std::size_t at = 0;
    int width = 0;
    int height = 0;
    skip_blanks(text, at);
    if (!read_side(text, at, width))
        return {};
    skip_blanks(text, at);
    if (!skip_separator(text, at))
        return {};
    skip_blanks(text, at);
    if (!read_side(text, at, height))
        return {};
    skip_blanks(text, at);
    if (at != text.size())
        return {};
    return {width, height};
}

bool take_screen_option(int argc, char** argv, int& i, QSize& screen, std::string& error)
{
    const std::string arg = argv[i];
    std::string value;
    if (arg == "--screen") {
        if (i + 1 >= argc) {
            error = "--screen needs a size such as 240x320";
            return true;
        }
        value = argv[++i];
    } else if (arg.rfind("--screen=", 0) == 0) {
        value = arg.substr(std::strlen("--screen="));
    } else {
        return false;
    }
    const QSize size = parse_screen_size(value);
    if (!size.isValid()) {
        error = "\"" + value + "\" is not a screen size such as 240x320 (each side 1 to "
            + std::to_string(kLargestScreenSide) + " pixels)";
        return true;
    }
    error.clear();
    screen = size;
    return true;
}
