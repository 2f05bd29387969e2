#pragma once

#include <string>
#include <vector>

// One thing in a theme that makes the menu do other than its author meant.
struct Problem {
    std::string file;
    int line = 0; // 0 when the problem is not on one line
    std::string message;
};

using Problems = std::vector<Problem>;
