#include "platform/toolkit_failure.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

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
}
