#include "platform/toolkit_failure.h"

#include <QString>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

// What Qt 6 says where it cannot go on. Without a thread it needs, Qt only
// warns and then waits for that thread for ever: the X event reader (a
// black window that no key reaches) or the D-Bus connection (a window that
// never shows). A broken X connection makes Qt call exit(), and a display
// that cannot be opened makes it abort: both reach the menu's status here.
struct Failure {
    const char* qt_says;
    const char* menu_says;
};

constexpr Failure kFailures[] = {
    {"QThread::start: Thread creation error", "the toolkit could not start a thread it needs"},
    {"The X11 connection broke", "the connection to the display broke"},
    {"This application failed to start because no Qt platform plugin could be initialized",
     "the display could not be opened"},
};

QtMessageHandler qt_handler = nullptr;

// Xlib, which Qt's X platform opens the display with, ends the process with
// exit(1) on a failed read or write, the status of a menu that ended as
// usual. No exit() during the start is the menu's own.
bool starting = false;

void gave_up_during_the_start()
{
    if (!starting)
        return;
    std::fputs("powermenu: the connection to the display failed during the start\n", stderr);
    std::fflush(nullptr);
    _exit(kToolkitCannotRun);
}

// A failed write while Qt sets up its X connection makes it drop the
// connection, and the X event reader it already started then waits on that
// connection for ever while Qt waits for the reader to end, before the menu
// has a window. Qt says nothing first. A minute is six times the start of a
// menu under valgrind on a loaded machine.
constexpr unsigned kMostStartSeconds = 60;

void start_took_too_long(int)
{
    static const char message[] = "powermenu: the display did not let the toolkit start within a minute\n";
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    _exit(kToolkitCannotRun);
}

void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    for (const Failure& failure : kFailures) {
        if (!message.startsWith(QLatin1String(failure.qt_says)))
            continue;
        std::fprintf(stderr, "%s\npowermenu: %s\n", qPrintable(message), failure.menu_says);
        std::fflush(nullptr);
        // Not exit(): the toolkit's own teardown may wait for the very thread or
        // connection that failed.
        std::_Exit(kToolkitCannotRun);
    }
    qt_handler(type, context, message);
}

} // namespace

void end_where_the_toolkit_cannot_run()
{
    qt_handler = qInstallMessageHandler(handle);
    starting = true;
    std::atexit(gave_up_during_the_start);
    std::signal(SIGALRM, start_took_too_long);
    alarm(kMostStartSeconds);
}

void toolkit_started()
{
    starting = false;
    alarm(0);
    std::signal(SIGALRM, SIG_DFL);
}
