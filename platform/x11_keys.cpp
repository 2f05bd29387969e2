#include "platform/x11_keys.h"

#include <QGuiApplication>

#if defined(POWERMENU_HAVE_X11) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>

// After Qt's headers: Xlib defines names such as KeyPress and None as macros.
#include <X11/XKBlib.h>

namespace {

// Qt's own connection: detectable auto-repeat is a setting of one client.
Display* qt_display()
{
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

} // namespace

bool ask_for_repeats_as_presses()
{
    Display* display = qt_display();
    Bool supported = False;
    return display && XkbSetDetectableAutoRepeat(display, True, &supported) && supported;
}

QList<quint32> keycodes_down()
{
    QList<quint32> codes;
    Display* display = qt_display();
    char keys[32] = {};
    if (!display || !XQueryKeymap(display, keys))
        return codes;
    for (quint32 code = 0; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8)))
            codes.append(code);
    return codes;
}

#else

bool ask_for_repeats_as_presses()
{
    return false;
}

QList<quint32> keycodes_down()
{
    return {};
}

#endif
