#include "app/gui.h"

#include "platform/painting.h"
#include "platform/picture_file.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QPixmap>

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

// What the paint draws on: the window's backing store, or whatever the
// window is being rendered into.
QSize paint_target_size(QWidget* window)
{
    QPainter probe(window);
    return deviceSize(probe);
}

} // namespace

const QPixmap& MyZKbMain::bg_pixmap(QPoint at, QSize device)
{
    // A larger screen, or the menu picture at the corner when there is no
    // power-off picture, shows parts that were not read.
    const QRect needed = shownPart(at, device) & QRect(QPoint(0, 0), bg_whole);
    if (!needed.isEmpty() && !QRect(bg_image.offset(), bg_image.size()).contains(needed))
        loadPicturePart(bg_image, bg_whole, QString::fromLatin1(bg_file), needed);
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
    const QSize device = size() * devicePixelRatio();
    const QPixmap& pixmap = bg_pixmap({start_x, start_y}, device);
    const QPoint placed = QPoint(start_x, start_y) + bg_image.offset();
    if (!reaches_window(pixmap, placed.x(), placed.y(), device))
        return {};
    return bg_opaque_cache.translated(placed);
}

void MyZKbMain::paintEvent(QPaintEvent* e)
{
    setWFlags(getWFlags() | WRepaintNoErase);
    const QSize device = paint_target_size(this);
    if (poweroff_now) {
        // The file does not change while the menu ends: read it once.
        if (!poweroff_read) {
            if (loadPicturePart(bg_image, bg_whole, QStringLiteral("poweroff.png"), shownPart({0, 0}, device)))
                bg_file = "poweroff.png";
            poweroff_read = true;
        }
        const QPixmap& pixmap = bg_pixmap({0, 0}, device);
        bitBlt(this, bg_image.offset().x(), bg_image.offset().y(), &pixmap, 0, 0, -1, -1, CopyROP, false);
    } else {
        const QPixmap& pixmap = bg_pixmap({start_x, start_y}, device);
        const QPoint placed = QPoint(start_x, start_y) + bg_image.offset();
        bitBlt(this, placed.x(), placed.y(), &pixmap, 0, 0, -1, -1, CopyROP, false);
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
        if (reaches_window(pixmap, placed.x(), placed.y(), deviceSize(painter)) && fits_int(x) && fits_int(y)) {
            painter.setClipRegion(bg_opaque_cache.translated(placed));
            // The stipple keeps its place in the picture wherever the picture stands.
            painter.setBrushOrigin(start_x, start_y);
            painter.setPen(QPen(pen_color(line_color), 1, Qt::SolidLine));
            if (h.style == Style::Focus)
                drawWinFocusRect(painter, int(x), int(y), h.width, h.height);
            else
                drawRoundRect(painter, int(x), int(y), h.width, h.height, 50, 50);
        }
    }
    ZKbMainWidget::paintEvent(e);
}
