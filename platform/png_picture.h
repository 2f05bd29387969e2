#pragma once

#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>

// What decodePng made of a file.
struct PngPiece {
    enum class Outcome {
        Decoded,  // image holds the part asked for (null when none of it is in the picture)
        TooLarge, // that part needs more than the bytes allowed: nothing was decoded
        LeftToQt, // not a PNG this decoder takes; whatever Qt makes of it stands
    };
    Outcome outcome = Outcome::LeftToQt;
    QImage image;
    QSize whole; // the picture's size, once its header has been read
};

// Decodes the part `keep` (in the picture's own pixels) of the PNG picture
// that the open file fd holds, from its current position, straight into the
// form the menu draws: Format_RGB32 for a picture without transparency,
// otherwise Format_ARGB32_Premultiplied with every pixel fully opaque (alpha
// from 128 up) or fully transparent. The image's offset() is where the part
// lies in the picture. Rows below the part are not decoded, so a picture far
// larger than the screen costs what the screen shows of it. It needs nothing
// from Qt's image plugins and no application object, so it can run before Qt
// has started.
//
// It takes only 8-bit and smaller PNGs that libpng reads without a single
// complaint (as far as the part goes) and whose whole picture fits Qt's
// allocation limit; for anything else (another format, a broken file, 16-bit
// channels) the outcome is LeftToQt.
//
// For a picture without transparency, decoded top to bottom, rowsDone is
// told from time to time how many of the part's rows are final; `part` shows
// them as they are decoded (offset() set), and a copy of it keeps the pixels
// for as long as it is held, even when the decode then fails and returns no
// image. It is called on the decoding thread.
using RowsDone = std::function<void(const QImage& part, int rows)>;
PngPiece decodePng(int fd, const QRect& keep, qint64 mostBytes, const RowsDone& rowsDone = {});
