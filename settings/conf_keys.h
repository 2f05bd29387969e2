#pragma once

#include <cstddef>

namespace settings {

// The thirteen keys of conf.ini, in the order in which they are read and stored.
inline constexpr const char* kKeys[] = {
    "icon0_y", "icon1_y", "width0", "width1", "height0", "height1",
    "reflash_x", "shut_x", "reboot_x", "cancel_x", "start_x", "start_y", "line_color",
};
inline constexpr std::size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];

} // namespace settings
