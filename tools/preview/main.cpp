// powermenu-preview: draws every screen of a theme's menu with the menu's own
// window class, without a device.
#include "platform/picture_file.h"
#include "tools/common/runtime_dir_note.h"
#include "tools/common/screen_size.h"
#include "tools/preview/contact_sheet.h"
#include "tools/preview/menu_screens.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

const char kUsage[] =
    "usage: powermenu-preview [THEME_DIR] -o FILE.png [--screen WxH] [--state NAME]\n"
    "Draws what powermenu shows for the theme in THEME_DIR (default: the current\n"
    "folder) on a screen of WxH pixels (default 240x320): all nine screens on one\n"
    "labelled sheet, or with --state only the named one, at the screen's size.\n"
    "States: focus-0 focus-1 focus-2 focus-cancel pressed-0 pressed-1 pressed-2\n"
    "        pressed-cancel poweroff\n"
    "Qt's own options (e.g. -platform) work; without one it draws offscreen.\n";

int usage_error(const std::string& message)
{
    std::fprintf(stderr, "powermenu-preview: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int failure(const std::string& message)
{
    std::fprintf(stderr, "powermenu-preview: %s\n", message.c_str());
    return 1;
}

// Nine screens on one sheet take twelve screens' room with the margins; a
// sheet past 1 GiB of pixels would take the machine's memory, not show a theme.
bool sheet_fits(QSize screen)
{
    constexpr long long kLargestSheetBytes = 1LL << 30;
    return 12LL * screen.width() * screen.height() * 4 <= kLargestSheetBytes;
}

bool platform_given(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    return std::getenv("QT_QPA_PLATFORM") != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    // The preview needs no display: the offscreen platform paints the same pixels.
    if (!platform_given(argc, argv))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    drop_runtime_dir_note();
    QApplication app(argc, argv);

    std::string theme = ".";
    bool theme_given = false;
    std::string output;
    const char* state = nullptr;
    QSize screen(kDefaultScreenWidth, kDefaultScreenHeight);
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::printf("%s", kUsage);
            return 0;
        }
        if (arg == "-o" || arg == "--output") {
            if (!has_value)
                return usage_error(arg + " needs a file name");
            output = argv[++i];
        } else if (std::string error; take_screen_option(argc, argv, i, screen, error)) {
            if (!error.empty())
                return usage_error(error);
        } else if (arg == "--state") {
            if (!has_value)
                return usage_error("--state needs a state name");
            state = argv[++i];
            if (!find_menu_screen(state))
                return usage_error("there is no state \"" + std::string(state) + "\"");
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option \"" + arg + "\"");
        } else if (theme_given) {
            return usage_error("only one theme folder at a time");
        } else {
            theme = arg;
            theme_given = true;
        }
    }
    if (output.empty())
        return usage_error("say where to write the picture with -o FILE.png");
    if (!state && !sheet_fits(screen))
        return usage_error("a sheet of nine " + std::to_string(screen.width()) + "x" + std::to_string(screen.height())
                           + " screens is too large to draw; draw one screen at a time with --state NAME");

    // The output is named from where the tool was started; the theme is read
    // from inside its folder, as the menu reads it.
    const QString output_path = QFileInfo(QString::fromLocal8Bit(output.c_str())).absoluteFilePath();
    if (chdir(theme.c_str()) != 0)
        return usage_error("cannot open the theme folder \"" + theme + "\": " + std::strerror(errno));
    QImage menu_picture;
    if (!loadImage(menu_picture, QStringLiteral("velmorine.png")))
        std::fprintf(stderr, "powermenu-preview: the menu picture velmorine.png cannot be read, so the menu "
                             "screens are black; powermenu-check tells more\n");

    QImage picture;
    if (state) {
        picture = render_menu_screen(*find_menu_screen(state), screen);
    } else {
        std::vector<SheetCell> cells;
        for (const MenuScreen& s : menu_screens())
            cells.push_back({QString::fromLatin1(s.label), render_menu_screen(s, screen)});
        const QString title = QStringLiteral("\"%1\" on a %2x%3 screen")
                                  .arg(QDir::current().dirName()).arg(screen.width()).arg(screen.height());
        picture = contact_sheet(title, cells);
    }
    if (!picture.save(output_path))
        return failure("cannot write " + output + " (check the folder and the name's ending, e.g. .png)");
    const std::string what = state ? "the " + std::string(state) + " screen" : "all nine screens";
    std::printf("powermenu-preview: wrote %s: %s of a %dx%d screen\n", output.c_str(), what.c_str(),
                screen.width(), screen.height());
    return 0;
}
