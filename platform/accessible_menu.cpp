#include "platform/accessible_menu.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <vector>

#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
#include <QAccessibleAnnouncementEvent>
#endif

namespace {

const SpokenTargets* targets_of(const QWidget* window)
{
    return dynamic_cast<const SpokenTargets*>(window);
}

// A target has no object of its own: it is a rectangle of the window's picture.
class SpokenTarget : public QAccessibleInterface {
public:
    SpokenTarget(QWidget* window, int index)
        : menu(window)
        , index(index)
    {
    }

    bool isValid() const override { return !menu.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return menu ? menu->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(menu.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    void setText(QAccessible::Text, const QString&) override {}
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name && menu ? targets_of(menu)->spokenTargetName(index) : QString();
    }

    // Screen coordinates in Qt's logical pixels, as the bridge expects them.
    QRect rect() const override
    {
        if (!menu)
            return {};
        const QRectF device(targets_of(menu)->spokenTargetArea(index));
        const QRectF logical(device.topLeft() / menu->devicePixelRatioF(), device.size() / menu->devicePixelRatioF());
        return logical.translated(menu->mapToGlobal(QPoint(0, 0))).toAlignedRect();
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        state.focusable = true;
        state.focused = menu && targets_of(menu)->spokenFocus() == index;
        return state;
    }

private:
    QPointer<QWidget> menu;
    const int index;
};

class SpokenMenu : public QAccessibleWidget {
public:
    explicit SpokenMenu(QWidget* window)
        : QAccessibleWidget(window, QAccessible::Dialog)
    {
    }

    ~SpokenMenu() override
    {
        for (QAccessible::Id id : ids)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? targets()->spokenName() : QAccessibleWidget::text(t);
    }

    int childCount() const override { return targets()->spokenTargetCount(); }

    // Made on the first question, so that a window nobody listens to has none.
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        if (ids.size() <= std::size_t(index))
            ids.resize(index + 1);
        if (!ids[index])
            ids[index] = QAccessible::registerAccessibleInterface(new SpokenTarget(widget(), index));
        return QAccessible::accessibleInterface(ids[index]);
    }

    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (std::size_t i = 0; i < ids.size(); ++i)
            if (ids[i] && QAccessible::accessibleInterface(ids[i]) == child)
                return int(i);
        return -1;
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (child(i)->rect().contains(x, y))
                return child(i);
        return nullptr;
    }

    QAccessibleInterface* focusChild() const override
    {
        const int focus = targets()->spokenFocus();
        return focus >= 0 ? child(focus) : nullptr;
    }

private:
    const SpokenTargets* targets() const { return targets_of(widget()); }

    mutable std::vector<QAccessible::Id> ids;
};

QAccessibleInterface* spoken_menu_factory(const QString&, QObject* object)
{
    auto* window = qobject_cast<QWidget*>(object);
    return window && targets_of(window) ? new SpokenMenu(window) : nullptr;
}

void send_focus(QWidget* window)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent focus(window, QAccessible::Focus);
    focus.setChild(targets_of(window)->spokenFocus());
    QAccessible::updateAccessibility(&focus);
}

// The bridge reaches the accessibility bus some time after the window is
// shown, and a screen reader told nothing at that moment says nothing about
// the menu until a key is pressed.
class FocusOnceListened : public QAccessible::ActivationObserver {
public:
    explicit FocusOnceListened(QWidget* window)
        : window(window)
    {
    }

    void accessibilityActiveChanged(bool active) override
    {
        // Sent at once, the focus would be dropped: the bridge learns which
        // events anyone listens to only after it has said that it is active.
        if (active && window)
            QTimer::singleShot(0, window, [listened = window] { send_focus(listened); });
    }

private:
    QPointer<QWidget> window;
};

} // namespace

void make_spoken(QWidget* window)
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(spoken_menu_factory);
        installed = true;
    }
    auto* observer = new FocusOnceListened(window);
    QAccessible::installActivationObserver(observer);
    QObject::connect(window, &QObject::destroyed, [observer] {
        QAccessible::removeActivationObserver(observer);
        delete observer;
    });
}

FocusMoveTeller::FocusMoveTeller(QWidget* window)
    : window(window)
    , was(targets_of(window)->spokenFocus())
{
}

FocusMoveTeller::~FocusMoveTeller()
{
    if (targets_of(window)->spokenFocus() != was)
        send_focus(window);
}

void announce_new_name(QWidget* window)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent renamed(window, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QAccessibleAnnouncementEvent said(window, targets_of(window)->spokenName());
    said.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    QAccessible::updateAccessibility(&said);
#else
    // Qt before 6.8 cannot say a text by itself, and a screen reader says
    // a name change only of what has the focus.
    send_focus(window);
#endif
}
