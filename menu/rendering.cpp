#include "app/gui.h"

#include "platform/painting.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>

namespace {

enum class Style { Focus, Pressed };

struct Highlight {
    int x;
    int y;
    int width;
    int height;
    Style style;
};

// Top-row item i stands at this x; sel_index i and i + 3 both point at it.
constexpr int MyZKbMain::*kItemX[] = {&MyZKbMain::reflash_x, &MyZKbMain::shut_x, &MyZKbMain::reboot_x};

Highlight highlight_for(const MyZKbMain& menu)
{
    if (menu.cancel_focus)
        return {menu.cancel_x, menu.icon1_y, menu.width1, menu.height1,
                menu.cancel_now ? Style::Pressed : Style::Focus};
    if (menu.sel_index >= 0 && menu.sel_index < 6)
        return {menu.*kItemX[menu.sel_index % 3], menu.icon0_y, menu.width0, menu.height0,
                menu.sel_index < 3 ? Style::Focus : Style::Pressed};
    return {0, 0, menu.width0, menu.height0, Style::Pressed};
}

QColor pen_color(int line_color)
{
    return QColor((line_color >> 16) & 0xff, (line_color >> 8) & 0xff, line_color & 0xff);
}

} // namespace

void MyZKbMain::paintEvent(QPaintEvent* e)
{
    if (poweroff_now) {
        loadImage(bg_image, QStringLiteral("poweroff.png"));
        const QPixmap pixmap = QPixmap::fromImage(bg_image);
        setWFlags(getWFlags() | WRepaintNoErase);
        bitBlt(this, 0, 0, &pixmap, 0, 0, -1, -1, CopyROP, false);
    } else {
        // The highlight goes on a copy, so bg_image stays clean for the next paint.
        QPixmap pixmap = QPixmap::fromImage(bg_image);
        if (!pixmap.isNull()) {
            QPainter painter(&pixmap);
            painter.setPen(QPen(pen_color(line_color), 1, Qt::SolidLine));
            const Highlight h = highlight_for(*this);
            if (h.style == Style::Focus)
                drawWinFocusRect(painter, h.x, h.y, h.width, h.height);
            else
                drawRoundRect(painter, h.x, h.y, h.width, h.height, 50, 50);
        }
        setWFlags(getWFlags() | WRepaintNoErase);
        bitBlt(this, start_x, start_y, &pixmap, 0, 0, -1, -1, CopyROP, false);
    }
    ZKbMainWidget::paintEvent(e);
}
