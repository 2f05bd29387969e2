#include "platform/window_picture.h"

#include "platform/fresh_memory.h"

#include <algorithm>
#include <cstring>

namespace {

// The image's pixel buffer, not its detach count: a store that is painted
// on stays the same store.
qint64 serial_of(const QImage& image)
{
    return image.cacheKey() >> 32;
}

void copy_rows(QImage& into, QPoint at, const QImage& from, const QRect& part)
{
    for (int y = part.top(); y <= part.bottom(); ++y)
        std::memcpy(into.scanLine(at.y() + y - part.top()) + 4 * at.x(), from.constScanLine(y) + 4 * part.left(),
                    4 * size_t(part.width()));
}

} // namespace

bool WindowPicture::isIn(const QImage& store) const
{
    return store_serial != 0 && serial_of(store) == store_serial;
}

void WindowPicture::moveInto(QImage& store, QPoint at, const QImage& picture, const QVector<QRect>& kept,
                             bool giveBack)
{
    copies.clear();
    for (const QRect& r : kept) {
        const QRect part = r & store.rect() & QRect(at, picture.size());
        if (!part.isEmpty())
            copies.append({part.topLeft(), picture.copy(part.translated(-at))});
    }
    // Bands of 256 KiB: the store's pages are filled in a band at a time (one
    // fault each would cost as much as the copy) and the picture's given back.
    const QRect source = store.rect().translated(-at);
    const int band = std::max(1, int((256 << 10) / picture.bytesPerLine()));
    for (int top = source.top(); top <= source.bottom(); top += band) {
        const int rows = std::min(band, source.bottom() + 1 - top);
        fillInPages(store.constScanLine(top + at.y()), size_t(store.bytesPerLine()) * rows);
        copy_rows(store, {0, top + at.y()}, picture, QRect(source.left(), top, source.width(), rows));
        // From the first row on: a page that straddles two bands goes with the second.
        if (giveBack)
            givePagesBack(picture.constScanLine(source.top()),
                          size_t(picture.bytesPerLine()) * (top + rows - source.top()));
    }
    store_serial = serial_of(store);
}

void WindowPicture::restore(QImage& store) const
{
    for (const Copy& copy : copies)
        copy_rows(store, copy.at, copy.pixels, copy.pixels.rect());
}
