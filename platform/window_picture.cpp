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

void WindowPicture::moveRows(QImage& store, QPoint at, const QImage& picture, int rows, bool giveBack)
{
    const QRect source = store.rect().translated(-at);
    if (moving_into != serial_of(store) || moving_from != picture.constBits()) {
        store_serial = 0;
        moving_into = serial_of(store);
        moving_from = picture.constBits();
        next_row = source.top();
    }
    // The store's pages are filled in a band at a time (one fault each would
    // cost as much as the copy) and the picture's given back.
    const int band = rowsPerBand(picture.bytesPerLine());
    const int end = std::min(rows, source.bottom() + 1);
    while (next_row < end) {
        const int count = std::min(band, end - next_row);
        fillInPages(store.constScanLine(next_row + at.y()), size_t(store.bytesPerLine()) * count);
        copy_rows(store, {0, next_row + at.y()}, picture, QRect(source.left(), next_row, source.width(), count));
        // From the first row on: a page that straddles two bands goes with the second.
        if (giveBack)
            givePagesBack(picture.constScanLine(source.top()),
                          size_t(picture.bytesPerLine()) * (next_row + count - source.top()));
        next_row += count;
    }
}

void WindowPicture::endMove(const QImage& store, const QVector<QRect>& kept)
{
    // The store holds the picture's pixels now, byte for byte.
    copies.clear();
    for (const QRect& r : kept) {
        const QRect part = r & store.rect();
        if (!part.isEmpty())
            copies.append({part.topLeft(), store.copy(part)});
    }
    store_serial = serial_of(store);
    moving_into = 0;
    moving_from = nullptr;
}

void WindowPicture::restore(QImage& store) const
{
    for (const Copy& copy : copies)
        copy_rows(store, copy.at, copy.pixels, copy.pixels.rect());
}
