#include "platform/ZKbMainWidget.h"

#include "platform/fresh_memory.h"
#include "platform/keyboard_claim.h"
#include "platform/overlay.h"
#include "platform/painting.h"

#include <QBackingStore>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPalette>
#include <QRegion>
#include <QScreen>
#include <QTimer>

#include <cmath>

namespace {

// The window outlasts the key that ended the menu, since the key's repeats
// and release would otherwise go to the window behind: Enter typed into a
// terminal, say. Longer than a hand holds a key that it means to press once;
// still, a key whose release never comes (a keyboard unplugged while it is
// held, a stuck key) lets the seat go in a few seconds.
constexpr int kMostKeyUpWaitMs = 5000;

bool backing_store_lasts()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform == QLatin1String("offscreen");
}

} // namespace

ZWidget::ZWidget(QWidget* parent)
    : QWidget(parent)
{
    // The erase is ours (see event()): Qt's would fill the whole window, and
    // on a phone-sized screen the first fill costs as much as drawing the
    // full-screen picture that covers it.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ZWidget::setWFlags(uint flags)
{
    wflags |= flags;
}

// A new backing store (the first paint, a new size) is memory that the
// display server shares and that nobody has touched, and this paint is about
// to write much of it: fault by fault, that costs as much on a phone-sized
// screen as the copying itself.
void ZWidget::fillInNewBackingStore()
{
    QBackingStore* store = backingStore();
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return;
    const auto* image = static_cast<const QImage*>(device);
    if (image->constBits() == filled_in)
        return;
    filled_in = image->constBits();
    if (!backing_store_lasts() || !paintFillsInNewBackingStore(*image))
        fillInPages(filled_in, size_t(image->sizeInBytes()));
}

bool ZWidget::paintFillsInNewBackingStore(const QImage&)
{
    return false;
}

QImage* ZWidget::lastingBackingStore()
{
    if (!backing_store_lasts())
        return nullptr;
    QBackingStore* store = backingStore();
    QPaintDevice* device = store ? store->paintDevice() : nullptr;
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    // QWidget::render paints through a painter redirected elsewhere.
    QPainter probe(this);
    if (!probe.paintEngine() || probe.paintEngine()->paintDevice() != device)
        return nullptr;
    return static_cast<QImage*>(device);
}

QSize ZWidget::screenPixels() const
{
    // Rounded up: a fraction of a pixel more costs nothing, one less would
    // make the first paint read the picture again.
    const QScreen* on = screen();
    const QSizeF size = QSizeF(on->geometry().size()) * on->devicePixelRatio();
    return QSize(int(std::ceil(size.width())), int(std::ceil(size.height())));
}

QRegion ZWidget::paintCoversOpaquely()
{
    return {};
}

void ZWidget::closeOnceKeysAreUp()
{
    if (closing)
        return;
    closing = true;
    if (!held.anyDown())
        closeNow();
    else
        QTimer::singleShot(kMostKeyUpWaitMs, this, &ZWidget::closeNow);
}

void ZWidget::closeNow()
{
    if (closed)
        return;
    closed = true;
    close();
}

bool ZWidget::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::KeyPress:
        if (!held.pressed(*static_cast<QKeyEvent*>(e)))
            return true;
        break;
    case QEvent::KeyRelease:
        held.released(*static_cast<QKeyEvent*>(e));
        if (closing && !held.anyDown())
            closeNow();
        break;
    case QEvent::Show:
        held.start();
        break;
    case QEvent::WindowDeactivate:
        held.forget();
        if (closing)
            closeNow();
        break;
    default:
        break;
    }
    if (e->type() == QEvent::Paint) {
        painted = true;
        fillInNewBackingStore();
    }
    if (e->type() == QEvent::Paint && !(wflags & WRepaintNoErase)) {
        // Asked before the painter is made: the answer may need one of its own.
        const QRegion covered = paintCoversOpaquely();
        QPainter painter(this);
        useDevicePixels(painter);
        const QRegion bare = QRegion(QRect(QPoint(0, 0), deviceSize(painter))) - covered;
        for (const QRect& r : bare)
            painter.fillRect(r, palette().brush(backgroundRole()));
    }
    return QWidget::event(e);
}

ZMainWidget::ZMainWidget(QWidget* parent)
    : ZWidget(parent)
{
}

void ZMainWidget::setFullScreenMode(bool fullScreen, bool)
{
    full_screen = fullScreen;
}

namespace {

// Sets a variable that the toolkit reads during the first show, unless the
// user set it, and takes it back afterwards: the scripts get the
// environment as it came.
class SetForTheShow {
public:
    SetForTheShow(const char* name, const char* value, bool wanted)
        : name(name)
        , set_here(wanted && !qEnvironmentVariableIsSet(name))
    {
        if (set_here)
            qputenv(name, value);
    }
    ~SetForTheShow()
    {
        if (set_here)
            qunsetenv(name);
    }

private:
    const char* name;
    bool set_here;
};

// libdbus's own fallback when no address is set.
bool user_bus_exists()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QString::fromLocal8Bit(runtime + "/bus"));
}

} // namespace

void ZMainWidget::show()
{
    const QString platform = QGuiApplication::platformName();
    // Before it decides on a title bar, Qt's Wayland client asks its OpenGL
    // buffer integration whether one can be drawn, and loading that
    // integration loads EGL and the Mesa driver: 80 ms of a 100 ms start
    // under sway, for a title bar that a full-screen window never shows. Qt
    // reads its switch once per process, at the first show.
    const SetForTheShow no_decoration_probe("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1",
                                            full_screen && platform.startsWith(QLatin1String("wayland")));
    // At the first show Qt's accessibility bridge looks for the session bus.
    // Where there is none, libdbus starts a bus daemon for the X display,
    // which stays behind when the menu is killed; and a bus that nobody had
    // has nobody on it to read the menu out. This address ends the search.
    const SetForTheShow no_bus_daemon("DBUS_SESSION_BUS_ADDRESS", "disabled:", !user_bus_exists());
    if (!full_screen) {
        QWidget::show();
        return;
    }
    // An X server without a window manager honours no full-screen request,
    // and the window would map at its default size; so there it also asks for
    // the screen's geometry. On a framebuffer the window would be painted
    // once at its default size before it is made full screen. A Wayland
    // compositor, though, would take that size as the window's first state
    // and hold the first frame back until the client answers the full-screen
    // resize (sway waits up to 200 ms).
    if (!platform.startsWith(QLatin1String("wayland")))
        setGeometry(screen()->geometry());
    // An overlay covers its output whatever state it asks for, and asking
    // for full screen keeps the ordinary window's way where it is none.
    as_overlay(this, nullptr);
    const bool painted_before = paintedYet();
    showFullScreen();
    // On a framebuffer the show paints the whole window before it returns,
    // and the update it posted for the whole window beforehand would paint
    // it all again before the first frame reaches the screen.
    if (!painted_before && paintedYet())
        QCoreApplication::removePostedEvents(this, QEvent::UpdateLater);
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
