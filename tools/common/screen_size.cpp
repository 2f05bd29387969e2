#include "tools/common/screen_size.h"

#include <cstdio>

namespace {

// Reads "WxH" (e.g. "240x320"); an invalid size when the text is not one.
QSize parse_screen_size(const std::string& text)
{
    // Larger than any screen, small enough that width * height * 4 bytes fits in memory.
    constexpr int kLargest = 16384;
    int width = 0;
    int height = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &end) != 2)
        return {};
    if (width < 1 || height < 1 || width > kLargest || height > kLargest)
        return {};
    return {width, height};
}

} // namespace

std::string take_screen_option(const char* value, QSize& screen)
{
    if (!value)
        return "--screen needs a size such as 240x320";
    const QSize size = parse_screen_size(value);
    if (!size.isValid())
        return "\"" + std::string(value) + "\" is not a screen size such as 240x320";
    screen = size;
    return {};
}
