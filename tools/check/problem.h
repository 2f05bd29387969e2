#pragma once

#include <string>
#include <vector>

// How much a finding matters, as a linter tells it: a problem means the menu
// will not do what the theme means (powermenu-check exits 1); a warning is
// worth a look but may be meant (exit 0, unless --strict).
enum class Severity { Problem, Warning };

// One thing the checker tells a theme's author, with the fix. Add one with
// findings.push_back({file, line, message}) for a problem, or with
// {file, line, message, Severity::Warning} for a warning.
struct Finding {
    std::string file;
    int line = 0; // 0 when it is not about one line
    std::string message;
    Severity severity = Severity::Problem;
};

using Findings = std::vector<Finding>;
