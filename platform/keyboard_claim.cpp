#include "platform/keyboard_claim.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace {

constexpr int kRetryMs = 10;
// Five seconds: longer than anyone holds the power key.
constexpr int kTries = 500;
// Enough to outlast a window manager's own focus changes, too few to fight
// another program that raises itself for ever.
constexpr int kMostReraises = 20;

void bring_forward(QWidget* window)
{
    window->raise();
    window->activateWindow();
}

// Some window managers drop the stays-on-top request of a full-screen window
// and raise whichever window they give the focus to over it; the menu holds
// the keyboard, so it must stay in sight.
class StayInFront : public QObject {
public:
    explicit StayInFront(QWidget* window)
        : QObject(window)
        , window(window)
    {
        setObjectName(QStringLiteral("stay in front"));
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::WindowDeactivate && reraises++ < kMostReraises)
            QTimer::singleShot(0, window, [w = window] { bring_forward(w); });
        return false;
    }

private:
    QWidget* window;
    int reraises = 0;
};

} // namespace

void claim_keyboard(QWidget* window)
{
    bring_forward(window);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    // Claimed again at each show and each return from another workspace.
    if (!window->findChild<QObject*>(QStringLiteral("stay in front"), Qt::FindDirectChildrenOnly))
        new StayInFront(window);
    auto* retry = new QTimer(window);
    retry->setInterval(kRetryMs);
    QObject::connect(retry, &QTimer::timeout, window, [window, retry, tries = 0]() mutable {
        QWindow* handle = window->windowHandle();
        const bool grabbed = handle && handle->isExposed() && handle->setKeyboardGrabEnabled(true);
        if (grabbed || ++tries >= kTries)
            retry->deleteLater();
    });
    retry->start();
}
