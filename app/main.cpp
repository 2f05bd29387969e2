#include "app/gui.h"
#include "app/instance_lock.h"
#include "app/missing_files.h"
#include "app/second_press.h"
#include "app/theme_trust.h"
#include "platform/ZApplication.h"
#include "platform/picture_file.h"
#include "platform/seat.h"
#include "platform/toolkit_failure.h"

#include <csignal>
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    // Before anything is shown: a menu whose items someone else decides
    // must not be offered at all.
    if (const std::string why = untrusted_theme(); !why.empty()) {
        std::fprintf(stderr, "powermenu: not started: %s; %s\n", why.c_str(), kOnlyRootAndYou);
        return kUntrustedTheme;
    }
    int second_press = -1;
    if (const int refused = lock_theme_folder(second_press))
        return refused;
    // A warning written to a pipe that nobody reads any more must fail, not
    // kill the menu. A handler rather than SIG_IGN: the item scripts start
    // with handlers reset, but would inherit an ignored SIGPIPE.
    std::signal(SIGPIPE, [](int) {});
    std::fputs(missing_theme_files_note().c_str(), stderr);
    // The menu picture needs nothing from Qt, and decoding it is the longest
    // step of the start; the window takes it when it loads the picture.
    PictureReadAhead menu_picture("velmorine.png");
    end_where_the_toolkit_cannot_run();
    auto* app = new ZApplication(argc, argv, ZApplication::GuiClient);
    auto* window = new MyZKbMain;
    app->setMainWidget(window);
    window->show();
    toolkit_started();
    hold_the_seat(window);
    answer_second_presses(second_press, window, [window] { return bring_back(window); });
    // Non-zero only when a confirmed item's script was not run.
    const int failure = app->exec();
    delete window;
    // What is left once the toolkit took its own options: 1 for a bare start.
    const int status = failure ? failure : argc;
    ZApplication::endNowWhereTeardownCanHang(status);
    delete app;
    return status;
}
