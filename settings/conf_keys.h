#pragma once

#include <cstddef>

namespace settings {

// The keys of conf.ini, in the order in which they are read and stored: the
// menu's thirteen, then line_width, which older themes do not have.
inline constexpr const char* kKeys[] = {
    "icon0_y", "icon1_y", "width0", "width1", "height0", "height1",
    "reflash_x", "shut_x", "reboot_x", "cancel_x", "start_x", "start_y", "line_color",
    "line_width",
};
inline constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

constexpr bool holds(const char* text, const char* part)
{
    for (; *text; ++text) {
        std::size_t i = 0;
        while (part[i] && text[i] == part[i])
            ++i;
        if (!part[i])
            return true;
    }
    return false;
}

// A key is found as text anywhere in a line, so a key whose text held
// another's would take that one's line, or give it its own.
constexpr bool keys_apart()
{
    for (std::size_t i = 0; i < kKeyCount; ++i)
        for (std::size_t j = 0; j < kKeyCount; ++j)
            if (i != j && holds(kKeys[i], kKeys[j]))
                return false;
    return true;
}
static_assert(keys_apart(), "no key's text may hold another key's text");

} // namespace settings
