#pragma once

#include "app/gui.h"

#include <iterator>

// Where a target's highlight stands in the picture; the picture itself
// stands at (start_x, start_y) on the screen. Items 0 to 2, then the cancel button.
struct MenuTarget {
    int MyZKbMain::*x;
    int MyZKbMain::*y;
    int MyZKbMain::*width;
    int MyZKbMain::*height;
};

inline constexpr MenuTarget kTargets[] = {
    {&MyZKbMain::reflash_x, &MyZKbMain::icon0_y, &MyZKbMain::width0, &MyZKbMain::height0},
    {&MyZKbMain::shut_x, &MyZKbMain::icon0_y, &MyZKbMain::width0, &MyZKbMain::height0},
    {&MyZKbMain::reboot_x, &MyZKbMain::icon0_y, &MyZKbMain::width0, &MyZKbMain::height0},
    {&MyZKbMain::cancel_x, &MyZKbMain::icon1_y, &MyZKbMain::width1, &MyZKbMain::height1},
};
inline constexpr int kTargetCount = int(std::size(kTargets));
inline constexpr int kCancelTarget = kTargetCount - 1;
