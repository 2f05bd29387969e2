#pragma once

#include <QSize>

#include <string>

// The screen the tools assume when none is given: the sample theme's.
inline constexpr int kDefaultScreenWidth = 240;
inline constexpr int kDefaultScreenHeight = 320;

// Larger than any screen, small enough that one screen's picture of
// width * height * 4 bytes fits in memory.
inline constexpr int kLargestScreenSide = 16384;

// Reads a screen size as people type it: "480x854", "480X854", "480 x 854",
// "480×854" or "480*854"; an invalid size when the text is none or a side is
// outside 1 to kLargestScreenSide.
QSize parse_screen_size(const std::string& text);

// Takes "--screen WxH" or "--screen=WxH" at argv[i], moving i past its
// value, into screen. Returns false when argv[i] is another argument;
// otherwise error holds the usage error to report, or is empty.
bool take_screen_option(int argc, char** argv, int& i, QSize& screen, std::string& error);
