#pragma once

#include "tools/check/conf_check.h"
#include "tools/check/problem.h"

#include <QSize>

#include <string>
#include <vector>

// What the checker found out about one of the theme's files, for the listing.
struct FileStatus {
    std::string name;
    std::string status;
};

struct ThemeFiles {
    std::vector<FileStatus> files;
    QSize menu_picture;     // invalid when the picture cannot be loaded
    QSize poweroff_picture; // likewise
    Findings problems;
};

// Checks the pictures and scripts in the working directory, the theme's folder.
ThemeFiles check_files();

// Checks where the highlights and the pictures fall, on a screen of the given size.
Findings check_layout(const ConfCheck& conf, const ThemeFiles& files, QSize screen);
