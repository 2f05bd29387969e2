#pragma once

#include <cstdio>
#include <string>
#include <vector>

// names.txt: the words a screen reader says for a theme's targets, which
// otherwise exist only as pixels in its pictures. One KEY=WORDS line each,
// UTF-8; '#' starts a comment line. conf.ini holds numbers only and keeps
// its own reader.
inline constexpr const char* kNamesFile = "names.txt";

enum class Named { Item0, Item1, Item2, Cancel, Menu, PowerOff, Count };
inline constexpr const char* kNameKeys[] = {"item0", "item1", "item2", "cancel", "menu", "poweroff"};
inline constexpr int kNameCount = static_cast<int>(Named::Count);

// Words longer than this are no name but a mistake, such as a missing line break.
inline constexpr std::size_t kLongestName = 200;
// Only this much of the file is read.
inline constexpr long kNamesReadLimit = 64 * 1024;

// A line the reader did not take, and why, in words for a theme's author.
struct IgnoredLine {
    int line;
    std::string why;
};

struct ItemNames {
    // Indexed by Named; empty where the file names nothing.
    std::string words[kNameCount];
    std::vector<IgnoredLine> ignored;
};

ItemNames read_item_names(std::FILE* file);
