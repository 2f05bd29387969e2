#pragma once

#include <QImage>
#include <QRect>
#include <QVector>

// A picture that lives in a window's backing store instead of beside it.
// At 1080x2400 the picture and the store are 10 MB each; moved in band by
// band, the picture's memory is given back as the store's is taken, so the
// two are never both whole in memory. What later paints draw over (the
// highlights) is kept in small copies and put back from them.
class WindowPicture {
public:
    // Whether the picture was moved into this very store, so that its pixels
    // are there still.
    bool isIn(const QImage& store) const;

    // Moves picture, placed at `at` and covering the whole store, into it,
    // keeping copies of what lies under the `kept` rectangles (in the store's
    // pixels). With giveBack the picture's pixels are lost on the way: it
    // should be dropped.
    void moveInto(QImage& store, QPoint at, const QImage& picture, const QVector<QRect>& kept, bool giveBack);

    // Puts the kept rectangles back as they were after the move.
    void restore(QImage& store) const;

private:
    qint64 store_serial = 0;
    struct Copy {
        QPoint at;
        QImage pixels;
    };
    QVector<Copy> copies;
};
