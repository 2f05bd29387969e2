#include "app/gui.h"
#include "app/theme_trust.h"
#include "menu/targets.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The top row, before the cancel button.
constexpr int kItemCount = kCancelTarget;

int clamped(std::int64_t value)
{
    return int(std::clamp<std::int64_t>(value, INT_MIN / 2, INT_MAX / 2));
}

// A names.txt that is not a regular file (a FIFO would block the menu) names nothing.
ItemNames read_names_file()
{
    const int fd = open(kNamesFile, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info;
    std::FILE* file = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? fdopen(fd, "r") : nullptr;
    if (!file) {
        close(fd);
        return {};
    }
    ItemNames names = read_item_names(file);
    std::fclose(file);
    return names;
}

} // namespace

QString MyZKbMain::spoken_words(Named what) const
{
    if (!names_read) {
        names_read = true;
        // The words say which item is which to someone who cannot see the
        // picture: nobody else may choose them.
        const std::string why = untrusted_theme_file(kNamesFile);
        if (why.empty()) {
            const ItemNames names = read_names_file();
            for (int i = 0; i < kNameCount; ++i)
                spoken[i] = QString::fromStdString(names.words[i]);
        } else {
            std::fprintf(stderr, "powermenu: %s was not read, the built-in names are said: %s; %s\n", kNamesFile,
                         why.c_str(), kOnlyRootAndYou);
        }
        const QString builtin[kNameCount] = {tr("Flash"), tr("Power off"), tr("Restart"), tr("Cancel"),
                                             tr("Power menu"), QString()};
        for (int i = 0; i < kNameCount; ++i)
            if (spoken[i].isEmpty())
                spoken[i] = builtin[i];
    }
    return spoken[int(what)];
}

QString MyZKbMain::spokenName() const
{
    if (!poweroff_now)
        return spoken_words(Named::Menu);
    const QString words = spoken_words(Named::PowerOff);
    return words.isEmpty() ? tr("%1: please wait").arg(spoken_words(Named(sel_index % kItemCount))) : words;
}

int MyZKbMain::spokenTargetCount() const
{
    return kTargetCount;
}

QString MyZKbMain::spokenTargetName(int target) const
{
    return target >= 0 && target < kTargetCount ? spoken_words(Named(target)) : QString();
}

QRect MyZKbMain::spokenTargetArea(int target) const
{
    if (target < 0 || target >= kTargetCount)
        return {};
    const MenuTarget& t = kTargets[target];
    return QRect(clamped(std::int64_t{start_x} + this->*t.x), clamped(std::int64_t{start_y} + this->*t.y),
                 clamped(std::max(0, this->*t.width)), clamped(std::max(0, this->*t.height)));
}

// A confirmed item keeps the focus until the power-off picture shows; then
// the window itself has it, named after that picture.
int MyZKbMain::spokenFocus() const
{
    if (poweroff_now)
        return -1;
    return cancel_focus ? kCancelTarget : sel_index % kItemCount;
}
