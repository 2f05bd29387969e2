#pragma once

#include <QSize>

#include <string>

// The screen the tools assume when none is given: the sample theme's.
inline constexpr int kDefaultScreenWidth = 240;
inline constexpr int kDefaultScreenHeight = 320;

// Takes the value given to --screen (nullptr when there was none) into
// screen; returns the usage error to report, or an empty string.
std::string take_screen_option(const char* value, QSize& screen);
