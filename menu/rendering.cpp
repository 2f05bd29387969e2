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

// A target held down by a finger is drawn pressed before it is confirmed,
// so that what lifting the finger will do can be seen.
Highlight highlight_for(const MyZKbMain& menu)
{
    const Style focus = menu.held_on_focus() ? Style::Pressed : Style::Focus;
    if (menu.cancel_focus)
        return {menu.cancel_x, menu.icon1_y, menu.width1, menu.height1, menu.cancel_now ? Style::Pressed : focus};
    if (menu.sel_index >= 0 && menu.sel_index < 6)
        return {menu.*kItemX[menu.sel_index % 3], menu.icon0_y, menu.width0, menu.height0,
                menu.sel_index < 3 ? focus : Style::Pressed};
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

// Not in the constructor: the read-ahead is still decoding the picture
// then, and the window can be made and mapped in the meantime. Only what
// the screen shows of it: a picture may be far larger. With a store, the
// rows already decoded move into it while the rest are still decoding.
void MyZKbMain::read_menu_picture(QImage* store)
{
    if (bg_read)
        return;
    bg_read = true;
    if (!bg_image.isNull())
        return;
    const QRect shown = shownPart({start_x, start_y}, screenPixels());
    const QString file = QString::fromLatin1(bg_file);
    if (!store) {
        loadPicturePart(bg_image, bg_whole, file, shown);
        return;
    }
    bool moving = false;
    loadPicturePart(bg_image, bg_whole, file, shown, [&](const QImage& part, int rows) {
        const QPoint placed = QPoint(start_x, start_y) + part.offset();
        moving = moving || covers(*store, part, placed);
        if (moving)
            bg_in_window.moveRows(*store, placed, part, rows, true);
    });
    // A picture that turned out broken is Qt's reader's image now, or none:
    // the move starts over with it, or the paint draws over what moved in.
    if (moving && moves_into(*store))
        move_in(*store);
}

void MyZKbMain::move_in(QImage& store)
{
    bg_pixmap_cache = QPixmap();
    // Pixels that someone else still holds are copied, not taken.
    const QPoint placed = QPoint(start_x, start_y) + bg_image.offset();
    bg_in_window.moveRows(store, placed, bg_image, bg_image.height(), bg_image.isDetached());
    bg_in_window.endMove(store, highlight_areas(store.size()));
    bg_image = QImage();
}

const QPixmap& MyZKbMain::bg_pixmap(QPoint at, QSize device)
{
    read_menu_picture();
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

// An opaque picture that covers the whole store can live there alone
// (platform/window_picture.h): its 0xffRRGGBB pixels read the same in
// either 32-bit format the store may have.
bool MyZKbMain::covers(const QImage& store, const QImage& picture, QPoint placed)
{
    const long long x = placed.x(), y = placed.y();
    return picture.format() == QImage::Format_RGB32
        && (store.format() == QImage::Format_RGB32 || store.format() == QImage::Format_ARGB32_Premultiplied)
        && x <= 0 && y <= 0 && x + picture.width() >= store.width() && y + picture.height() >= store.height();
}

bool MyZKbMain::moves_into(const QImage& store) const
{
    return !poweroff_now && covers(store, bg_image, QPoint(start_x, start_y) + bg_image.offset());
}

bool MyZKbMain::paintFillsInNewBackingStore(const QImage& store)
{
    QImage* lasting = lastingBackingStore();
    read_menu_picture(lasting == &store && !poweroff_now ? lasting : nullptr);
    return bg_in_window.isIn(store) || moves_into(store);
}

// What a later paint must put back: the band inside each target's edge
// where an outline is drawn, line_width deep, and at each corner the square
// that a pressed outline's rounding cuts through (a finger that slides off
// turns it back into a focus outline).
QVector<QRect> MyZKbMain::highlight_areas(QSize store) const
{
    const int targets[][4] = {{reflash_x, icon0_y, width0, height0}, {shut_x, icon0_y, width0, height0},
                              {reboot_x, icon0_y, width0, height0}, {cancel_x, icon1_y, width1, height1}};
    QVector<QRect> areas;
    auto add = [&](long long left, long long top, long long right, long long bottom) {
        left = std::max(0LL, left), top = std::max(0LL, top);
        right = std::min<long long>(store.width(), right), bottom = std::min<long long>(store.height(), bottom);
        if (left < right && top < bottom)
            areas.append(QRect(int(left), int(top), int(right - left), int(bottom - top)));
    };
    const long long deep = std::max<long long>(line_width, 1);
    for (const auto& t : targets) {
        const long long left = 0LL + start_x + t[0], top = 0LL + start_y + t[1];
        const long long right = left + t[2], bottom = top + t[3];
        add(left, top, right, top + deep);
        add(left, bottom - deep, right, bottom);
        add(left, top + deep, left + deep, bottom - deep);
        add(right - deep, top + deep, right, bottom - deep);
        // Roundness 50 is a radius of a quarter of the side; one more pixel for the pen's smoothing.
        const long long across = t[2] / 4 + deep + 1, down = t[3] / 4 + deep + 1;
        add(left, top, left + across, top + down);
        add(right - across, top, right, top + down);
        add(left, bottom - down, left + across, bottom);
        add(right - across, bottom - down, right, bottom);
    }
    return areas;
}

QRegion MyZKbMain::draw_menu_picture(QSize device)
{
    QImage* store = lastingBackingStore();
    if (store && bg_in_window.isIn(*store)) {
        bg_in_window.restore(*store);
        return QRegion(store->rect());
    }
    const QPixmap& pixmap = bg_pixmap({start_x, start_y}, device);
    const QPoint placed = QPoint(start_x, start_y) + bg_image.offset();
    if (!reaches_window(pixmap, placed.x(), placed.y(), device))
        return {};
    if (store && moves_into(*store)) {
        move_in(*store);
        return QRegion(store->rect());
    }
    bitBlt(this, placed.x(), placed.y(), &pixmap, 0, 0, -1, -1, CopyROP, false);
    return bg_opaque_cache.translated(placed);
}

QRegion MyZKbMain::paintCoversOpaquely()
{
    if (poweroff_now)
        return {};
    // The picture moved in during this paint: asking for it again would read it again.
    if (const QImage* store = lastingBackingStore(); store && bg_in_window.isIn(*store))
        return QRegion(store->rect());
    const QSize device = size() * devicePixelRatio();
    const QPixmap& pixmap = bg_pixmap({start_x, start_y}, device);
    const QPoint placed = QPoint(start_x, start_y) + bg_image.offset();
    return reaches_window(pixmap, placed.x(), placed.y(), device) ? bg_opaque_cache.translated(placed) : QRegion();
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
        const QRegion opaque = draw_menu_picture(device);
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
        if (!opaque.isEmpty() && fits_int(x) && fits_int(y)) {
            painter.setClipRegion(opaque);
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
