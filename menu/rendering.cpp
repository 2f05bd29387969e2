#include "app/gui.h"

#include "platform/painting.h"
#include "platform/picture_file.h"

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

// Whether a picture placed at (x, y) shows on a window of this size; far-off
// positions would overflow the painter's integer coordinates.
bool reaches_window(const QPixmap& picture, long long x, long long y, QSize window)
{
    return !picture.isNull() && x < window.width() && y < window.height() && x + picture.width() > 0
        && y + picture.height() > 0;
}

} // namespace

const QPixmap& MyZKbMain::bg_pixmap()
{
    // Converting a phone-sized picture costs milliseconds, and the picture
    // only changes when the power-off picture replaces it.
    if (bg_image.cacheKey() != bg_pixmap_key) {
        bg_pixmap_cache = maskedPixmap(bg_image);
        bg_pixmap_key = bg_image.cacheKey();
    }
    return bg_pixmap_cache;
}

void MyZKbMain::paintEvent(QPaintEvent* e)
{
    setWFlags(getWFlags() | WRepaintNoErase);
    if (poweroff_now) {
        // The file does not change while the menu ends: read it once.
        if (!poweroff_read) {
            loadImage(bg_image, QStringLiteral("poweroff.png"));
            poweroff_read = true;
        }
        bitBlt(this, 0, 0, &bg_pixmap(), 0, 0, -1, -1, CopyROP, false);
    } else {
        const QPixmap& pixmap = bg_pixmap();
        bitBlt(this, start_x, start_y, &pixmap, 0, 0, -1, -1, CopyROP, false);
        // The highlight's pen is opaque, so drawing it straight onto the
        // window, clipped to the picture, gives the pixels that drawing it on
        // a copy of the picture and copying that would, without the copy.
        if (reaches_window(pixmap, start_x, start_y, size())) {
            QPainter painter(this);
            painter.translate(start_x, start_y);
            painter.setClipRect(pixmap.rect());
            painter.setPen(QPen(pen_color(line_color), 1, Qt::SolidLine));
            const Highlight h = highlight_for(*this);
            if (h.style == Style::Focus)
                drawWinFocusRect(painter, h.x, h.y, h.width, h.height);
            else
                drawRoundRect(painter, h.x, h.y, h.width, h.height, 50, 50);
        }
    }
    ZKbMainWidget::paintEvent(e);
}
