#include "tools/check/names_check.h"

#include "app/theme_trust.h"
#include "settings/item_names.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char* kBuiltInNames = "a screen reader says the built-in names (Flash, Power off, Restart, Cancel)";

} // namespace

void check_names(ThemeFiles& files)
{
    struct stat info;
    if (lstat(kNamesFile, &info) != 0) {
        files.files.push_back({kNamesFile, std::string("none: ") + kBuiltInNames});
        return;
    }
    const int fd = open(kNamesFile, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    std::FILE* file = fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? fdopen(fd, "r") : nullptr;
    if (!file) {
        if (fd >= 0)
            close(fd);
        const std::string status = fd < 0 ? "cannot be read" : "not a regular file";
        files.problems.push_back({kNamesFile, 0, status + "; " + kBuiltInNames + "; make it a text file of KEY=WORDS lines"});
        files.files.push_back({kNamesFile, status});
        return;
    }
    const ItemNames names = read_item_names(file);
    std::fclose(file);
    if (const std::string why = untrusted_theme_file(kNamesFile); !why.empty())
        files.problems.push_back({kNamesFile, 0, why + "; the menu does not read it, " + kBuiltInNames});
    std::string named;
    for (int i = 0; i < kNameCount; ++i)
        if (!names.words[i].empty())
            named += (named.empty() ? "" : ", ") + std::string(kNameKeys[i]) + " \"" + names.words[i] + "\"";
    files.files.push_back({kNamesFile, named.empty() ? std::string("names nothing") : "names " + named});
    for (const IgnoredLine& ignored : names.ignored)
        files.problems.push_back({kNamesFile, ignored.line, ignored.why});
}
