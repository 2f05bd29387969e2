#include "app/missing_files.h"

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

std::string working_directory()
{
    char path[PATH_MAX];
    return getcwd(path, sizeof path) ? path : "the working directory";
}

std::string missing_theme_files_note()
{
    std::string missing;
    struct stat info;
    for (const char* name : kThemeFiles)
        if (stat(name, &info) != 0)
            missing += (missing.empty() ? "" : ", ") + std::string(name);
    if (missing.empty())
        return {};
    return "powermenu: missing from the theme folder " + working_directory() + " (the working directory): "
        + missing + "; F2 closes the menu\n";
}
