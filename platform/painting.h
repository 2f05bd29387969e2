#pragma once

class QImage;
class QPainter;
class QPaintDevice;
class QPixmap;
class QRegion;
class QSize;

// Drawing primitives of the old toolkit that Qt 6 no longer has.

// A theme is made for a screen's own pixels, but Qt paints in logical pixels
// that it multiplies by the screen's scale factor. This makes one pixel of
// the painter's coordinates one pixel of the device it draws on, whatever the
// scale, so pictures are copied unscaled and outlines keep their width.
void useDevicePixels(QPainter& painter);

// The size in pixels of what the painter draws on (for a window, its backing
// store), where a widget's own size would be in logical pixels.
QSize deviceSize(const QPainter& painter);

enum RasterOp { CopyROP = 0 };

// A stippled outline inside exactly w x h pixels, in the painter's pen
// colour and as wide as its pen (at least one pixel). One pixel wide, every
// other pixel is set, like a checkerboard anchored, as Qt's own patterns
// are, at the painter's brush origin; wider, squares of the pen's width
// alternate, starting with a set one at the top-left corner.
void drawWinFocusRect(QPainter& painter, int x, int y, int w, int h);

// A rounded outline inside exactly w x h pixels, as wide as the painter's
// pen (at least one pixel); the corner radii are xRnd and yRnd percent of
// half the width and height.
void drawRoundRect(QPainter& painter, int x, int y, int w, int h, int xRnd, int yRnd);

// Copies src's rectangle (sx, sy, sw, sh) to dst at (dx, dy) in dst's device
// pixels, unscaled; sw or sh of -1 mean "to the source's edge". Unless ignoreMask is set, transparent source
// pixels are not copied. Only CopyROP exists.
void bitBlt(QPaintDevice* dst, int dx, int dy, const QPixmap* src, int sx, int sy, int sw, int sh,
            RasterOp rop, bool ignoreMask);

// The old toolkit's pixmaps had a one-bit mask, not an alpha channel: each
// pixel is copied unchanged or left out. Alpha from 128 up counts as opaque,
// below it as transparent, so painting again over an uncleared window gives
// the same pixels instead of blending half-transparent ones once more.
QPixmap maskedPixmap(const QImage& image);

// The pixels of a pixmap made by maskedPixmap that are drawn, so that what
// is drawn over the picture can be kept where the picture itself shows.
QRegion opaqueRegion(const QPixmap& pixmap);
