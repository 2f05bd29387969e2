#include "platform/ZApplication.h"

#include <QFont>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

namespace {

// When the application ends, Qt's font database hands fontconfig's
// configuration back, and fontconfig first loads it when nobody has asked
// for it yet: tens of milliseconds of XML parsing on the way out of a menu
// that never draws text. Making an empty configuration the current one lets
// that step free it instead. fontconfig is looked up in the running process
// (Qt has loaded it), so nothing happens on a Qt built without it.
void hand_fontconfig_an_empty_configuration()
{
    using Create = void* (*)();
    using SetCurrent = int (*)(void*);
    using Destroy = void (*)(void*);
    const auto create = reinterpret_cast<Create>(dlsym(RTLD_DEFAULT, "FcConfigCreate"));
    const auto set_current = reinterpret_cast<SetCurrent>(dlsym(RTLD_DEFAULT, "FcConfigSetCurrent"));
    const auto destroy = reinterpret_cast<Destroy>(dlsym(RTLD_DEFAULT, "FcConfigDestroy"));
    if (!create || !set_current || !destroy)
        return;
    void* empty = create();
    if (!empty)
        return;
    // The current configuration holds its own reference; drop ours.
    set_current(empty);
    destroy(empty);
}

} // namespace

ZApplication::ZApplication(int& argc, char** argv, Type)
    : QApplication(argc, argv)
{
    // Each widget starts from the application's font, and the first to ask
    // for it would have Qt's font database load fontconfig's whole
    // configuration, tens of milliseconds of the start on a slow device.
    // The menu draws no text, so a font that is named and never looked up
    // serves as well.
    setFont(QFont(QStringLiteral("Sans")));
}

ZApplication::~ZApplication()
{
    hand_fontconfig_an_empty_configuration();
}

// Qt 6.4's Wayland client can deadlock while it disconnects: its event
// thread waits for a read that the main thread had begun, while the main
// thread waits for the event thread to end. The menu then never ends, and
// its lock keeps the next power press from opening another. A compositor
// frees whatever a client leaves when its connection closes, and the menu's
// lock goes with the process, so there is nothing left to tear down.
void ZApplication::endNowWhereTeardownCanHang(int status)
{
    if (!platformName().startsWith(QLatin1String("wayland")))
        return;
    std::fflush(nullptr);
    std::_Exit(status);
}

void ZApplication::setMainWidget(QWidget* widget)
{
    main_widget = widget;
    // The menu has one window, so "the last window closed" is "the main widget closed".
    setQuitOnLastWindowClosed(true);
    widget->setAttribute(Qt::WA_QuitOnClose);
}
