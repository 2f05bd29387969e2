#include "platform/ZApplication.h"

#include <QWidget>

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
}

ZApplication::~ZApplication()
{
    hand_fontconfig_an_empty_configuration();
}

void ZApplication::setMainWidget(QWidget* widget)
{
    main_widget = widget;
    // The menu has one window, so "the last window closed" is "the main widget closed".
    setQuitOnLastWindowClosed(true);
    widget->setAttribute(Qt::WA_QuitOnClose);
}
