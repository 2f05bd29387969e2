#include "app/gui.h"
#include "menu/targets.h"
#include "platform/accessible_menu.h"

#include <QMouseEvent>
#include <QPointF>

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
QPointF device_position(const MyZKbMain& menu, const QMouseEvent& e)
{
    constexpr double kRoundingSlack = 1e-6;
    const double ratio = menu.devicePixelRatio();
    return e.scenePosition() * ratio + QPointF(kRoundingSlack, kRoundingSlack);
}

void focus(MyZKbMain& menu, int target)
{
    menu.cancel_focus = target == kCancelTarget;
    if (!menu.cancel_focus)
        menu.sel_index = target;
}

} // namespace

void MyZKbMain::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    pressed_target = confirm_pending() ? kNoTarget : target_at(*this, device_position(*this, *e));
    if (pressed_target == kNoTarget)
        return;
    const int was = spokenFocus();
    focus(*this, pressed_target);
    update();
    if (spokenFocus() != was)
        tell_focus_moved(this);
}

void MyZKbMain::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const int target = pressed_target;
    pressed_target = kNoTarget;
    if (target == kNoTarget || confirm_pending()
        || !contains(*this, kTargets[target], device_position(*this, *e)))
        return;
    // A key may have moved the focus while the finger was down; the finger wins.
    const int was = spokenFocus();
    focus(*this, target);
    confirm();
    update();
    if (spokenFocus() != was)
        tell_focus_moved(this);
}
