#pragma once

#include <QSize>

#include <string>

// The screen the tools assume when none is given: the sample theme's.
inline constexpr int kDefaultScreenWidth = 240;
inline constexpr int kDefaultScreenHeight = 320;

// Reads "WxH" (e.g. "240x320"); an invalid size when the text is not one.
QSize parse_screen_size(const std::string& text);
