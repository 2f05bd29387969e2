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
    // in steps while its rows are still arriving: each call moves what the
    // store shows of the picture's first `rows` rows that an earlier call for
    // the same store and picture has not moved. With giveBack the picture's
    // pixels are lost on the way: it should be dropped. endMove then keeps
    // copies of what lies under the `kept` rectangles (in the store's
    // pixels); only from then on is the picture in.
    void moveRows(QImage& store, QPoint at, const QImage& picture, int rows, bool giveBack);
    void endMove(const QImage& store, const QVector<QRect>& kept);

    // Puts the kept rectangles back as they were after the move.
    void restore(QImage& store) const;

private:
    qint64 store_serial = 0;
    // The move under way: into which store, from which pixels, and the
    // picture row it has reached.
    qint64 moving_into = 0;
    const uchar* moving_from = nullptr;
    int next_row = 0;
    struct Copy {
        QPoint at;
        QImage pixels;
    };
    QVector<Copy> copies;
};
