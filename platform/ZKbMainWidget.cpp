#include "platform/ZKbMainWidget.h"

#include "platform/keyboard_claim.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>

ZWidget::ZWidget(QWidget* parent)
    : QWidget(parent)
{
}

void ZWidget::setWFlags(uint flags)
{
    wflags |= flags;
    // Qt then leaves the backing store as the last paint left it outside
    // whatever the next paint draws.
    if (wflags & WRepaintNoErase)
        setAttribute(Qt::WA_OpaquePaintEvent);
}

ZMainWidget::ZMainWidget(QWidget* parent)
    : ZWidget(parent)
{
}

void ZMainWidget::setFullScreenMode(bool fullScreen, bool)
{
    full_screen = fullScreen;
}

void ZMainWidget::show()
{
    if (!full_screen) {
        QWidget::show();
        return;
    }
    // An X server without a window manager honours no full-screen request,
    // and the window would map at its default size; so there it also asks for
    // the screen's geometry. A Wayland compositor would take that size as
    // the window's first state and hold the first frame back until the
    // client answers the full-screen resize (sway waits up to 200 ms).
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        setGeometry(screen()->geometry());
    if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        showWithoutDecorationProbe();
    else
        showFullScreen();
}

// Before it decides on a title bar, Qt's Wayland client asks its OpenGL
// buffer integration whether one can be drawn, and loading that integration
// loads EGL and the Mesa driver: 80 ms of a 100 ms start under sway, for a
// title bar that a full-screen window never shows. Qt answers once per
// process and reads its switch only then, so the switch is set around the
// first show and taken back: the scripts get the environment as it came.
void ZMainWidget::showWithoutDecorationProbe()
{
    static const char kNoDecorations[] = "QT_WAYLAND_DISABLE_WINDOWDECORATION";
    const bool set_here = !qEnvironmentVariableIsSet(kNoDecorations);
    if (set_here)
        qputenv(kNoDecorations, "1");
    showFullScreen();
    if (set_here)
        qunsetenv(kNoDecorations);
}

void ZMainWidget::showEvent(QShowEvent* event)
{
    ZWidget::showEvent(event);
    if (full_screen)
        claim_keyboard(this);
}

ZKbMainWidget::ZKbMainWidget(ZHeader::HEADER_TYPE, QWidget* parent, const char* name, uint)
    : ZMainWidget(parent)
{
    setObjectName(QString::fromLatin1(name));
    // A window manager that keeps the focus with the window behind would
    // also raise that window over the menu, which holds the keyboard.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    // A phone's screen is black wherever the menu picture does not reach.
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void ZKbMainWidget::setMainWidgetTitle(const QString& title)
{
    setWindowTitle(title);
}
