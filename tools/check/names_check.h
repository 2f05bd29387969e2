#pragma once

#include "tools/check/theme_files.h"

// Checks names.txt, which only a screen reader hears: every line the menu
// would pass over, and a file it would not read at all.
void check_names(ThemeFiles& files);
