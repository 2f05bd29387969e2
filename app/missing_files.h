#pragma once

#include <string>

// A theme's six files, each found by its name in the working directory.
inline constexpr const char* kThemeFiles[] = {
    "conf.ini", "velmorine.png", "poweroff.png", "item0.sh", "item1.sh", "item2.sh",
};

// The working directory's path, for messages.
std::string working_directory();

// A newcomer who starts the menu outside a theme folder sees only a black
// screen. This is the one line that tells them why: which of the theme's files
// the working directory lacks, and that F2 closes the menu. Empty when none is
// missing, so a whole theme prints nothing.
std::string missing_theme_files_note();
