#include "app/gui.h"
#include "menu/targets.h"
#include "platform/accessible_menu.h"

#include <QInputDevice>
#include <QMouseEvent>
#include <QPointF>
#include <QTouchEvent>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr int kNoTarget = -1;

// conf.ini may hold any int, so start + offset + size is summed in 64 bits
// where it cannot wrap round onto the screen.
bool spans(int start, int offset, int size, double point)
{
    const std::int64_t low = std::int64_t{start} + offset;
    const double pixel = std::floor(point);
    return pixel >= low && pixel < low + size;
}

bool contains(const MyZKbMain& menu, const MenuTarget& target, QPointF point)
{
    return spans(menu.start_x, menu.*target.x, menu.*target.width, point.x())
        && spans(menu.start_y, menu.*target.y, menu.*target.height, point.y());
}

int target_at(const MyZKbMain& menu, QPointF point)
{
    for (int i = 0; i < kTargetCount; ++i)
        if (contains(menu, kTargets[i], point))
            return i;
    return kNoTarget;
}

// Positions arrive in Qt's logical pixels; the menu is drawn in the
// screen's own pixels. The widget's own position is rounded to a whole
// logical pixel, which at scale 2 already loses every odd device pixel; the
// window's position is not, and the menu is its window. A position that was
// a whole device pixel may come back a hair below it after the division by a
// fractional scale, hence the nudge before the pixel is taken.
QPointF device_position(const MyZKbMain& menu, QPointF scene)
{
    constexpr double kRoundingSlack = 1e-6;
    const double ratio = menu.devicePixelRatio();
    return scene * ratio + QPointF(kRoundingSlack, kRoundingSlack);
}

void focus(MyZKbMain& menu, int target)
{
    menu.cancel_focus = target == kCancelTarget;
    if (!menu.cancel_focus)
        menu.sel_index = target;
}

int focused_target(const MyZKbMain& menu)
{
    return menu.cancel_focus ? kCancelTarget : menu.sel_index;
}

// Mouse events from a touch screen: those Qt makes of a touch, and the
// release Qt 6.4 makes of a cancelled one. The touch events have told the
// menu already. A pen's mouse events are Qt's too, and count.
bool from_touch(const QMouseEvent& e)
{
    const QPointingDevice* device = e.pointingDevice();
    return device && device->type() == QInputDevice::DeviceType::TouchScreen;
}

constexpr bool kMouse = true, kFinger = false;

} // namespace

bool MyZKbMain::held_on_focus() const
{
    return std::any_of(holds.begin(), holds.end(), [this](const Hold& h) {
        return h.inside && h.target == focused_target(*this);
    });
}

void MyZKbMain::hold_down(bool mouse, int id, QPointF at)
{
    const FocusMoveTeller teller(this);
    const int target = confirm_pending() ? kNoTarget : target_at(*this, device_position(*this, at));
    holds.removeIf([&](const Hold& h) { return h.mouse == mouse && h.id == id; });
    if (target == kNoTarget)
        return;
    if (holds.isEmpty()) {
        sel_before_touch = sel_index;
        cancel_before_touch = cancel_focus;
    }
    holds.append({mouse, id, target, true});
    focus(*this, target);
    update();
}

void MyZKbMain::hold_moved(bool mouse, int id, QPointF at)
{
    const FocusMoveTeller teller(this);
    for (Hold& h : holds) {
        if (h.mouse != mouse || h.id != id)
            continue;
        const bool inside = contains(*this, kTargets[h.target], device_position(*this, at));
        if (inside == h.inside)
            return;
        h.inside = inside;
        // Back on its target, the finger takes the focus again from keys or other fingers.
        if (inside && !confirm_pending())
            focus(*this, h.target);
        update();
        return;
    }
}

void MyZKbMain::hold_up(bool mouse, int id, QPointF at)
{
    const FocusMoveTeller teller(this);
    const auto h = std::find_if(holds.begin(), holds.end(),
                                [&](const Hold& h) { return h.mouse == mouse && h.id == id; });
    if (h == holds.end())
        return;
    const int target = h->target;
    holds.erase(h);
    update();
    // The first finger lifted on its target confirms; every later one finds the choice made.
    if (confirm_pending() || !contains(*this, kTargets[target], device_position(*this, at)))
        return;
    // A key may have moved the focus while the finger was down; the finger wins.
    focus(*this, target);
    confirm();
}

// The system took the touch back (an edge swipe, a gesture of its own):
// no finger was lifted, so nothing is confirmed and the focus goes back to
// where it was before the touch.
void MyZKbMain::holds_cancelled()
{
    const FocusMoveTeller teller(this);
    const bool had_fingers = std::any_of(holds.begin(), holds.end(), [](const Hold& h) { return !h.mouse; });
    holds.removeIf([](const Hold& h) { return !h.mouse; });
    if (!had_fingers)
        return;
    if (holds.isEmpty() && !confirm_pending()) {
        sel_index = sel_before_touch;
        cancel_focus = cancel_before_touch;
    }
    update();
}

void MyZKbMain::touch(QTouchEvent* e)
{
    if (e->type() == QEvent::TouchCancel) {
        holds_cancelled();
        return;
    }
    for (const QEventPoint& p : e->points()) {
        switch (p.state()) {
        case QEventPoint::Pressed:
            hold_down(kFinger, p.id(), p.scenePosition());
            break;
        case QEventPoint::Updated:
            hold_moved(kFinger, p.id(), p.scenePosition());
            break;
        case QEventPoint::Released:
            hold_up(kFinger, p.id(), p.scenePosition());
            break;
        default:
            break;
        }
    }
}

bool MyZKbMain::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        touch(static_cast<QTouchEvent*>(e));
        // Taken even when it touched nothing, or Qt would make mouse events of it.
        e->accept();
        return true;
    default:
        return ZKbMainWidget::event(e);
    }
}

void MyZKbMain::mousePressEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !from_touch(*e))
        hold_down(kMouse, 0, e->scenePosition());
}

void MyZKbMain::mouseMoveEvent(QMouseEvent* e)
{
    if (!from_touch(*e))
        hold_moved(kMouse, 0, e->scenePosition());
}

void MyZKbMain::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && !from_touch(*e))
        hold_up(kMouse, 0, e->scenePosition());
}
