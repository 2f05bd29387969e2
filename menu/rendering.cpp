#include "app/gui.h"

#include "platform/painting.h"
#include "platform/picture_file.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>

#include <algorithm>
#include <limits>

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

// Sizes are ints too, so a highlight whose corner lies beyond an int's
// range lies wholly outside the window.
bool fits_int(long long value)
{
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

} // namespace

const QPixmap& MyZKbMain::bg_pixmap()
{
    // Converting a phone-sized picture costs milliseconds, and the picture
    // only changes when the power-off picture replaces it.
    if (bg_image.cacheKey() != bg_pixmap_key) {
        bg_pixmap_cache = maskedPixmap(bg_image);
        bg_opaque_cache = opaqueRegion(bg_pixmap_cache);
        bg_pixmap_key = bg_image.cacheKey();
    }
    return bg_pixmap_cache;
}

QRegion MyZKbMain::paintCoversOpaquely()
{
    if (poweroff_now)
        return {};
    const QPixmap& pixmap = bg_pixmap();
    if (!reaches_window(pixmap, start_x, start_y, size() * devicePixelRatio()))
        return {};
    return bg_opaque_cache.translated(start_x, start_y);
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
        QPainter painter(this);
        useDevicePixels(painter);
        // The highlight's pen is opaque, so drawing it straight onto the
        // window, clipped to the picture's opaque pixels, gives the pixels
        // that drawing it on a copy of the picture and copying that with the
        // picture's mask would, without the copy. Where the picture is
        // transparent the window is never cleared, so a highlight drawn
        // there would stay after the focus moved on.
        // In window coordinates rather than through a translated painter: a
        // translation composed with Qt's scale and its undoing is off by a
        // hair at scales such as 1.75, which moves an outline by a pixel.
        const Highlight h = highlight_for(*this);
        const long long x = 0LL + start_x + h.x;
        const long long y = 0LL + start_y + h.y;
        if (reaches_window(pixmap, start_x, start_y, deviceSize(painter)) && fits_int(x) && fits_int(y)) {
            painter.setClipRegion(bg_opaque_cache.translated(start_x, start_y));
            // The stipple keeps its place in the picture wherever the picture stands.
            painter.setBrushOrigin(start_x, start_y);
            // Themes without line_width, or with a width below 2, keep the one-pixel outline.
            painter.setPen(QPen(pen_color(line_color), std::max(line_width, 1), Qt::SolidLine));
            if (h.style == Style::Focus)
                drawWinFocusRect(painter, int(x), int(y), h.width, h.height);
            else
                drawRoundRect(painter, int(x), int(y), h.width, h.height, 50, 50);
        }
    }
    ZKbMainWidget::paintEvent(e);
}
