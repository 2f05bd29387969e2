#pragma once

#include "settings/conf_keys.h"
#include "settings/conf_reader.h"
#include "tools/check/problem.h"

#include <array>
#include <string>

// A setting as the menu reads it, with the piece of conf.ini that supplies it.
struct CheckedSetting {
    const char* key = nullptr;
    settings::ValueSource source;
    settings::Number number;
};

struct ConfCheck {
    // Empty when conf.ini could be opened; otherwise why not, in a few words.
    std::string unopened;
    std::array<CheckedSetting, settings::kKeyCount> settings;
    Findings problems;

    int value(const char* key) const;
    // The line that supplies the key, 0 when none does.
    int line(const char* key) const;
};

// Reads conf.ini at `path` with the menu's own reader and lists what it
// would misread.
ConfCheck check_conf(const std::string& path);

// The piece as a reader can see it: without its line break, with control
// characters written out.
std::string printable(const std::string& piece);
