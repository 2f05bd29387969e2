#include "app/gui.h"
#include "app/instance_lock.h"
#include "app/missing_files.h"
#include "platform/ZApplication.h"
#include "platform/picture_file.h"
#include "platform/toolkit_failure.h"

#include <csignal>
#include <cstdio>

int main(int argc, char** argv)
{
    if (!lock_theme_folder())
        return 1;
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
    app->exec();
    delete window;
    // What is left once the toolkit took its own options: 1 for a bare start.
    ZApplication::endNowWhereTeardownCanHang(argc);
    delete app;
    return argc;
}
