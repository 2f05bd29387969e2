#include "platform/seat.h"

#include "platform/keyboard_claim.h"
#include "platform/overlay.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

bool on_x11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

bool on_wayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// A black window over one screen that takes the clicks there. It asks never
// to have the focus; where a compositor gives it the keyboard all the same
// (sway's focus on another output), it hands every key to the menu.
class Shield : public QWidget {
public:
    Shield(QScreen* screen, QWidget* menu)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                                | Qt::WindowDoesNotAcceptFocus)
        , menu(menu)
    {
        // The menu's closing alone ends the program.
        setAttribute(Qt::WA_QuitOnClose, false);
        setWindowTitle(QStringLiteral("shut_down shield"));
        QPalette black = palette();
        black.setColor(QPalette::Window, Qt::black);
        setPalette(black);
        setAutoFillBackground(true);
        // The screen goes by the geometry: Qt's Wayland client asks for full
        // screen on the output it names (setScreen alone is undone by the
        // default geometry), and without a window manager X11 honours no
        // full-screen request.
        setGeometry(screen->geometry());
        // Not showFullScreen(): that would also ask for the focus.
        setWindowState(Qt::WindowFullScreen);
        as_overlay(this, screen);
        show();
    }

protected:
    bool event(QEvent* e) override
    {
        if (menu && (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)) {
            const auto* key = static_cast<QKeyEvent*>(e);
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->nativeScanCode(),
                           key->nativeVirtualKey(), key->nativeModifiers(), key->text(), key->isAutoRepeat(),
                           key->count(), key->device());
            copy.setTimestamp(key->timestamp());
            QCoreApplication::sendEvent(menu, &copy);
            return true;
        }
        return QWidget::event(e);
    }

private:
    QPointer<QWidget> menu;
};

// The shields of one menu, kept to every screen but the menu's.
class Seat : public QObject {
public:
    explicit Seat(QWidget* menu)
        : QObject(menu)
        , menu(menu)
    {
        menu->installEventFilter(this);
        connect(qGuiApp, &QGuiApplication::screenAdded, this, &Seat::cover);
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, &Seat::cover);
        watchExposure();
    }

    ~Seat() override { qDeleteAll(shields); }

    // Each screen but the menu's gets a shield; a shield on the menu's screen
    // (it moved there) or on a screen that went away goes.
    void cover()
    {
        QScreen* own = menu->screen();
        const QList<QScreen*> screens = QGuiApplication::screens();
        for (auto it = shields.begin(); it != shields.end();) {
            if (it.key() == own || !screens.contains(it.key())) {
                delete it.value();
                it = shields.erase(it);
            } else {
                ++it;
            }
        }
        if (menu->isHidden())
            return;
        for (QScreen* screen : screens) {
            if (screen != own && !shields.contains(screen))
                shields.insert(screen, new Shield(screen, menu));
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == menu && e->type() == QEvent::Paint && !covered) {
            covered = true;
            // After this paint has reached the screen.
            QTimer::singleShot(0, this, &Seat::cover);
        }
        // Shown again, the menu may be on another workspace than its
        // shields: they follow it after its next frame.
        if (watched == menu && e->type() == QEvent::Show) {
            qDeleteAll(shields);
            shields.clear();
            covered = false;
            watchExposure();
        }
        // A window manager unmaps the menu with the workspace it leaves,
        // and its keyboard grab goes with it.
        if (watched == menu->windowHandle() && e->type() == QEvent::Expose) {
            const bool exposed = menu->windowHandle()->isExposed();
            if (exposed && !was_exposed && on_x11())
                claim_keyboard(menu);
            was_exposed = exposed;
        }
        return false;
    }

private:
    void watchExposure()
    {
        if (QWindow* handle = menu->windowHandle(); handle && handle != watched_handle) {
            watched_handle = handle;
            handle->installEventFilter(this);
            connect(handle, &QWindow::screenChanged, this, &Seat::cover);
        }
    }

    QWidget* menu;
    QHash<QScreen*, Shield*> shields;
    QPointer<QWindow> watched_handle;
    bool covered = false;
    bool was_exposed = true;
};

} // namespace

void hold_the_seat(QWidget* menu)
{
    if (on_x11() || on_wayland())
        new Seat(menu);
}

bool bring_back(QWidget* menu)
{
    if (!on_x11() && !on_wayland())
        return false;
    // Nothing hides an overlay: it is in front, with the keys, already.
    if (as_overlay(menu, nullptr))
        return true;
    QWindow* handle = menu->windowHandle();
    // A window manager unmaps the windows of a workspace it leaves, and a
    // Wayland compositor says nothing of it; a window mapped afresh goes
    // where the user is now. Showing it claims the keyboard again.
    if (on_wayland() || !handle || !handle->isExposed()) {
        menu->hide();
        menu->showFullScreen();
    } else {
        claim_keyboard(menu);
    }
    return true;
}
