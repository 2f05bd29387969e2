#include "tools/check/theme_files.h"
#include "tools/check/names_check.h"

#include "app/missing_files.h"
#include "app/theme_trust.h"
#include "platform/picture_file.h"

#include <QImage>
#include <QString>

#include <algorithm>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct PictureFile {
    const char* name;
    QSize ThemeFiles::*size;
    const char* without_it;
};

const PictureFile kPictures[] = {
    {"velmorine.png", &ThemeFiles::menu_picture, "the menu shows a black screen"},
    {"poweroff.png", &ThemeFiles::poweroff_picture,
     "after a confirm the menu shows its own picture again at the top-left corner, without highlight"},
};

constexpr const char* kScripts[] = {"item0.sh", "item1.sh", "item2.sh"};

// A rectangle in 64 bits: settings may be anywhere in the 32-bit range.
struct Area {
    long long left, top, width, height;
    long long right() const { return left + width - 1; }
    long long bottom() const { return top + height - 1; }
    bool inside(const Area& outer) const
    {
        return left >= outer.left && top >= outer.top && right() <= outer.right() && bottom() <= outer.bottom();
    }
    long long overlap(const Area& other) const
    {
        const long long w = std::min(right(), other.right()) - std::max(left, other.left) + 1;
        const long long h = std::min(bottom(), other.bottom()) - std::max(top, other.top) + 1;
        return w > 0 && h > 0 ? w * h : 0;
    }
    bool meets(const Area& outer) const
    {
        return left <= outer.right() && right() >= outer.left && top <= outer.bottom() && bottom() >= outer.top;
    }
    std::string text() const
    {
        return "x " + std::to_string(left) + " to " + std::to_string(right()) + ", y " + std::to_string(top)
            + " to " + std::to_string(bottom());
    }
};

std::string size_text(QSize size)
{
    return std::to_string(size.width()) + "x" + std::to_string(size.height());
}

// Why a file cannot be used, or empty when it is there and is a regular file.
std::string missing_or_odd(const char* name)
{
    struct stat info;
    if (stat(name, &info) != 0)
        return "missing";
    if (!S_ISREG(info.st_mode))
        return S_ISDIR(info.st_mode) ? "a directory, not a file" : "not a regular file";
    return {};
}

void check_picture(const PictureFile& picture, ThemeFiles& files)
{
    std::string status = missing_or_odd(picture.name);
    QImage image;
    if (status.empty() && !loadImage(image, QString::fromLatin1(picture.name)))
        status = "not a picture the menu can read";
    if (!status.empty()) {
        files.problems.push_back({picture.name, 0, status + "; " + picture.without_it + "; put a PNG picture there"});
        files.files.push_back({picture.name, status});
        return;
    }
    files.*picture.size = image.size();
    files.files.push_back({picture.name, size_text(image.size())});
}

void check_script(int item, ThemeFiles& files)
{
    const char* name = kScripts[item];
    std::string status = missing_or_odd(name);
    // The menu runs "./itemN.sh" itself, so the script needs the execute right for this user.
    if (status.empty() && access(name, X_OK) != 0)
        status = "not executable";
    const std::string consequence = "; confirming item " + std::to_string(item)
        + " then shows the power-off picture and runs nothing";
    if (status == "not executable")
        files.problems.push_back({name, 0, status + consequence + "; run: chmod +x " + name});
    else if (!status.empty())
        files.problems.push_back({name, 0, status + consequence + "; put a shell script there and chmod +x it"});
    files.files.push_back({name, status.empty() ? "executable" : status});
}

// The settings that place one highlight, each with the line that supplies it.
struct HighlightKeys {
    const char* label;
    const char* x;
    const char* y;
    const char* width;
    const char* height;
};

const HighlightKeys kHighlights[] = {
    {"item 0", "reflash_x", "icon0_y", "width0", "height0"},
    {"item 1", "shut_x", "icon0_y", "width0", "height0"},
    {"item 2", "reboot_x", "icon0_y", "width0", "height0"},
    {"the cancel button", "cancel_x", "icon1_y", "width1", "height1"},
};

std::string described(const ConfCheck& conf, std::initializer_list<const char*> keys)
{
    std::string text;
    for (const char* key : keys) {
        text += (text.empty() ? "" : ", ") + std::string(key) + "=" + std::to_string(conf.value(key));
        text += conf.line(key) ? " (line " + std::to_string(conf.line(key)) + ")" : " (not set)";
    }
    return text;
}

void check_highlights(const ConfCheck& conf, QSize picture, Findings& problems)
{
    const Area inside_picture{0, 0, picture.width(), picture.height()};
    for (std::size_t i = 0; i < std::size(kHighlights); ++i) {
        const HighlightKeys& h = kHighlights[i];
        const Area area{conf.value(h.x), conf.value(h.y), conf.value(h.width), conf.value(h.height)};
        if (area.width <= 0 || area.height <= 0) {
            // Both rows share their size, so a bad size is told once per row.
            if (i == 0 || i == 3)
                problems.push_back({"conf.ini", conf.line(area.width <= 0 ? h.width : h.height),
                    "the highlight of " + std::string(i == 0 ? "the top-row items" : h.label) + " is not drawn: "
                    + described(conf, {h.width, h.height}) + "; both must be above 0"});
            continue;
        }
        // An outline this wide covers its whole rectangle; both rows share their size.
        const long long line = conf.value("line_width");
        if ((i == 0 || i == 3) && line >= 2 && 2 * line >= std::min(area.width, area.height))
            problems.push_back({"conf.ini", conf.line("line_width"), "line_width=" + std::to_string(line)
                + " fills the " + std::to_string(area.width) + "x" + std::to_string(area.height) + " highlight of "
                + (i == 0 ? "the top-row items" : h.label) + ", so no picture shows inside it; make it at most "
                + std::to_string((std::min(area.width, area.height) - 1) / 2)});
        if (!picture.isValid() || area.inside(inside_picture))
            continue;
        problems.push_back({"conf.ini", conf.line(h.x),
            "the highlight of " + std::string(h.label) + " (" + area.text() + ", from "
            + described(conf, {h.x, h.y, h.width, h.height}) + ") is "
            + (area.meets(inside_picture) ? "partly outside the " + size_text(picture)
                   + " menu picture and is drawn only where it overlaps it"
                                          : "wholly outside the " + size_text(picture) + " menu picture and is not drawn")
            + "; move it inside"});
    }
}

void check_on_screen(const ConfCheck& conf, const ThemeFiles& files, QSize screen, Findings& findings)
{
    const Area on_screen{0, 0, screen.width(), screen.height()};
    if (files.menu_picture.isValid()) {
        const Area menu{conf.value("start_x"), conf.value("start_y"), files.menu_picture.width(), files.menu_picture.height()};
        // A picture partly off the screen may be cropped on purpose; one wholly off shows nothing.
        if (!menu.inside(on_screen))
            findings.push_back({"conf.ini", conf.line("start_x") ? conf.line("start_x") : conf.line("start_y"),
                "the " + size_text(files.menu_picture) + " menu picture at " + described(conf, {"start_x", "start_y"})
                + " covers " + menu.text() + ", " + (menu.meets(on_screen) ? "partly" : "wholly") + " off the "
                + size_text(screen) + " screen; move it, or make the picture smaller",
                menu.meets(on_screen) ? Severity::Warning : Severity::Problem});
        // The menu draws nothing but its pictures: a theme made for a smaller
        // screen leaves most of a larger one black, which a small picture may mean.
        const long long shown = menu.overlap(on_screen);
        if (shown > 0 && 2 * shown < on_screen.width * on_screen.height)
            findings.push_back({"velmorine.png", 0, "the " + size_text(files.menu_picture) + " menu picture covers "
                + std::to_string(100 * shown / (on_screen.width * on_screen.height)) + "% of the " + size_text(screen)
                + " screen; the rest of the screen stays black; make a theme for this screen with: powermenu-new-theme --screen "
                + size_text(screen) + " DIR",
                Severity::Warning});
    }
    if (files.poweroff_picture.isValid()) {
        const Area poweroff{0, 0, files.poweroff_picture.width(), files.poweroff_picture.height()};
        if (!poweroff.inside(on_screen))
            findings.push_back({"poweroff.png", 0, "the " + size_text(files.poweroff_picture)
                + " picture is drawn at the screen's top-left corner and is partly off the " + size_text(screen)
                + " screen; make it at most that size",
                Severity::Warning});
    }
}

} // namespace

ThemeFiles check_files()
{
    ThemeFiles files;
    for (const PictureFile& picture : kPictures)
        check_picture(picture, files);
    for (int item = 0; item < int(std::size(kScripts)); ++item)
        check_script(item, files);
    check_names(files);
    // The menu refuses to start in a theme that others can change.
    const std::string refused = "; the menu refuses this theme (status 77): " + std::string(kOnlyRootAndYou);
    if (const std::string why = untrusted_theme_folder(); !why.empty())
        files.problems.push_back({"theme folder", 0, why + refused});
    for (const char* name : kThemeFiles)
        if (const std::string why = untrusted_theme_file(name); !why.empty())
            files.problems.push_back({name, 0, why + refused});
    return files;
}

Findings check_layout(const ConfCheck& conf, const ThemeFiles& files, QSize screen)
{
    Findings findings;
    check_highlights(conf, files.menu_picture, findings);
    check_on_screen(conf, files, screen, findings);
    return findings;
}
