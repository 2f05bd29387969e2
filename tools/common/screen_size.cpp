#include "tools/common/screen_size.h"

#include <cstdio>

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
