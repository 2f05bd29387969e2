#include "platform/painting.h"

#include <QBitmap>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPaintEngine>
#include <QPen>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QTransform>
#include <QVector>

#include <algorithm>

namespace {

// Outline coordinates come straight from conf.ini and may be anything, so
// the edges are walked in 64 bits and only across the visible device.
struct Span {
    long long first;
    long long last;
};

Span clipped(long long first, long long last, long long lowest, long long highest)
{
    return {std::max(first, lowest), std::min(last, highest)};
}

// The part of the device the painter can still draw on, in its own
// coordinates: a painter may be moved (the menu draws in picture
// coordinates onto the window) and clipped.
QRect reachable(const QPainter& painter)
{
    QRect area = painter.deviceTransform().inverted().mapRect(QRect(QPoint(0, 0), deviceSize(painter)));
    if (painter.hasClipping())
        area &= painter.clipBoundingRect().toAlignedRect();
    return area;
}

// The outline's width in the painter's pixels: the pen's, at least one.
long long outlineWidth(const QPainter& painter)
{
    return std::max(1LL, static_cast<long long>(painter.pen().widthF()));
}

bool isMaskedAlready(const QImage& image)
{
    if (image.format() == QImage::Format_RGB32)
        return true;
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] != 0 && qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

} // namespace

void useDevicePixels(QPainter& painter)
{
    // A fresh painter's device transform is Qt's scale alone (with, for a
    // child widget, its offset): undoing the scale leaves whole device pixels.
    painter.resetTransform();
    const QTransform scale = painter.deviceTransform();
    painter.setWorldTransform(QTransform::fromScale(1 / scale.m11(), 1 / scale.m22()));
}

QSize deviceSize(const QPainter& painter)
{
    const QPaintDevice* device = painter.paintEngine() ? painter.paintEngine()->paintDevice() : nullptr;
    return device ? QSize(device->width(), device->height()) : QSize();
}

void drawWinFocusRect(QPainter& painter, int x, int y, int w, int h)
{
    if (w <= 0 || h <= 0 || !painter.device())
        return;
    const long long line = outlineWidth(painter);
    const long long left = x, top = y;
    const long long right = left + w - 1, bottom = top + h - 1;
    const QRect area = reachable(painter);
    if (area.isEmpty())
        return;

    // One pixel wide, the stipple is anchored where Qt anchors its patterns;
    // wider, its squares start at the outline's corner, so that every item's
    // outline looks alike wherever it stands.
    const QPoint origin = painter.brushOrigin();
    const long long anchorX = line == 1 ? origin.x() : left, anchorY = line == 1 ? origin.y() : top;
    const QPen pen = painter.pen();
    if (line > 1)
        painter.setPen(QPen(pen.color(), 1));
    QVector<QPoint> dots;
    auto flush = [&] {
        if (!dots.isEmpty())
            painter.drawPoints(dots.constData(), int(dots.size()));
        dots.clear();
    };
    // Row by row, and only across the visible device: the width, like the
    // rectangle, may be anything conf.ini holds.
    const Span rows = clipped(top, bottom, area.top(), area.bottom());
    for (long long py = rows.first; py <= rows.last; ++py) {
        const bool across = py < top + line || py > bottom - line || right - left + 1 <= 2 * line;
        const Span sides[] = {{left, across ? right : left + line - 1}, {right - line + 1, right}};
        for (int side = 0; side < (across ? 1 : 2); ++side) {
            const Span columns = clipped(sides[side].first, sides[side].last, area.left(), area.right());
            for (long long px = columns.first; px <= columns.last; ++px)
                if (((px - anchorX) / line + (py - anchorY) / line) % 2 == 0)
                    dots.append(QPoint(int(px), int(py)));
        }
        if (dots.size() >= 4096)
            flush();
    }
    flush();
    painter.setPen(pen);
}

void drawRoundRect(QPainter& painter, int x, int y, int w, int h, int xRnd, int yRnd)
{
    if (w <= 0 || h <= 0 || !painter.device())
        return;
    const QRectF outline(x, y, double(w) - 1, double(h) - 1);
    if (!outline.adjusted(0, 0, 1, 1).intersects(QRectF(reachable(painter))))
        return;
    const double line = double(outlineWidth(painter));
    if (line == 1) {
        painter.drawRoundedRect(outline, xRnd, yRnd, Qt::RelativeSize);
        return;
    }
    // A wide pen would spread to both sides of the line; filling the band
    // between two rounded rectangles keeps the outline inside w x h.
    const QRectF outer(x, y, w, h);
    const double rx = outer.width() * std::clamp(xRnd, 0, 100) / 200, ry = outer.height() * std::clamp(yRnd, 0, 100) / 200;
    QPainterPath band;
    band.addRoundedRect(outer, rx, ry);
    const QRectF inner = outer.adjusted(line, line, -line, -line);
    if (inner.width() > 0 && inner.height() > 0)
        band.addRoundedRect(inner, std::max(rx - line, 0.0), std::max(ry - line, 0.0));
    painter.fillPath(band, painter.pen().color());
}

void bitBlt(QPaintDevice* dst, int dx, int dy, const QPixmap* src, int sx, int sy, int sw, int sh,
            RasterOp, bool ignoreMask)
{
    if (!dst || !src || src->isNull())
        return;
    const int width = sw < 0 ? src->width() - sx : sw;
    const int height = sh < 0 ? src->height() - sy : sh;
    QPainter painter(dst);
    useDevicePixels(painter);
    painter.setCompositionMode(ignoreMask ? QPainter::CompositionMode_Source
                                          : QPainter::CompositionMode_SourceOver);
    painter.drawPixmap(dx, dy, *src, sx, sy, width, height);
}

QPixmap maskedPixmap(const QImage& image)
{
    // The PNG reader delivers pictures in this form; the pixmap then shares
    // the picture's pixels instead of holding a second copy.
    if (isMaskedAlready(image))
        return QPixmap::fromImage(image, Qt::NoFormatConversion);
    if (!image.hasAlphaChannel())
        return QPixmap::fromImage(image);
    QImage masked = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x)
            line[x] = qAlpha(line[x]) >= 128 ? line[x] | 0xff000000u : 0u;
    }
    return QPixmap::fromImage(std::move(masked));
}

QRegion opaqueRegion(const QPixmap& pixmap)
{
    // maskedPixmap leaves every alpha at 0 or 255, so the mask is exact.
    return pixmap.hasAlpha() ? QRegion(pixmap.mask()) : QRegion(pixmap.rect());
}
