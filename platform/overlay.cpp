#include "platform/overlay.h"

#ifdef POWERMENU_HAVE_LAYER_SHELL

#include <LayerShellQt/Window>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

enum class Offered { unknown, yes, no };
Offered offered = Offered::unknown;
QtMessageHandler earlier_handler = nullptr;

// The library's one answer to a compositor without the layer is a warning
// of its own category, and the window then stays an ordinary one. Heard
// here while the first window is made an overlay, it is not printed: the
// menu simply opens as a full-screen window.
void hear_refusal(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (type != QtDebugMsg && type != QtInfoMsg && context.category
        && qstrcmp(context.category, "layershellqt") == 0) {
        offered = Offered::no;
        return;
    }
    // Qt 6 hands back its default handler when none was installed.
    if (earlier_handler)
        earlier_handler(type, context, text);
}

} // namespace

bool as_overlay(QWidget* window, QScreen* screen)
{
    if (offered == Offered::no || !QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return false;
    // The layer surface is made when the window is first shown, from what is
    // set on its native window before then.
    window->winId();
    QWindow* handle = window->windowHandle();
    if (!handle)
        return false;
    if (screen)
        handle->setScreen(screen);
    earlier_handler = qInstallMessageHandler(hear_refusal);
    LayerShellQt::Window* layer = LayerShellQt::Window::get(handle);
    qInstallMessageHandler(earlier_handler);
    if (offered == Offered::no || !layer)
        return false;
    offered = Offered::yes;
    layer->setScope(QStringLiteral("powermenu"));
    layer->setLayer(LayerShellQt::Window::LayerOverlay);
    layer->setAnchors(LayerShellQt::Window::Anchors(LayerShellQt::Window::AnchorTop | LayerShellQt::Window::AnchorBottom
                                                    | LayerShellQt::Window::AnchorLeft
                                                    | LayerShellQt::Window::AnchorRight));
    // The whole output, also where a bar keeps a strip for itself.
    layer->setExclusiveZone(-1);
    layer->setKeyboardInteractivity(LayerShellQt::Window::KeyboardInteractivityExclusive);
    return true;
}

#else

bool as_overlay(QWidget*, QScreen*)
{
    return false;
}

#endif
