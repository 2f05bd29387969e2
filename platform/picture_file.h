#pragma once

#include <QRect>
#include <QSize>

#include <functional>
#include <memory>

class QImage;
class QString;

// Loads a picture into image, detecting the format unless one is given.
// Unlike QImage::load, a failed load leaves image as it was, and a name
// that is not a regular file (a FIFO, a device, a folder) is never read,
// even when it is swapped in while the picture is being opened.
bool loadImage(QImage& image, const QString& fileName, const char* format = nullptr);

// Like loadImage, but keeps in memory only the part of the picture inside
// `wanted` (in the picture's own pixels): what the screen can show of it.
// image.offset() is then where that part lies in the picture (it is null when
// none of the picture is wanted), and whole the picture's size. A picture
// far larger than the screen so costs what a screen-sized one does. The
// part's pixels are those that loadImage gives at the same place.
//
// While it waits for the read-ahead (see below) to decode a picture that has
// no transparency, rowsArriving is called on this thread each time more rows
// are final, so that they can be put to use before the last one is: with a
// view of the part's pixels (offset() set) and how many rows, from its top,
// are final. The image this call then gives may still be another (a picture
// that turns out broken is left to Qt's reader, as loadImage would).
using RowsArriving = std::function<void(const QImage& part, int rows)>;
bool loadPicturePart(QImage& image, QSize& whole, const QString& fileName, const QRect& wanted,
                     const RowsArriving& rowsArriving = {});

// The part of a picture placed at `at` (which may lie far outside) that a
// device of `device` pixels shows, in the picture's own pixels.
QRect shownPart(QPoint at, QSize device);

// Starts reading a picture on a thread of its own, so that decoding it
// overlaps Qt's start-up; the next loadImage of the same name in the same
// working directory then takes the result (waiting for it if need be), with
// exactly the outcome that loadImage alone would have had. A picture too
// large to be sure that the screen shows most of it is left to the
// loadPicturePart that knows the screen. The thread
// touches nothing but the file and the image it makes; it has ended before
// loadImage returns, and at the latest when this object is destroyed.
class PictureReadAhead {
public:
    explicit PictureReadAhead(const char* fileName);
    ~PictureReadAhead();
    PictureReadAhead(const PictureReadAhead&) = delete;
    PictureReadAhead& operator=(const PictureReadAhead&) = delete;

    struct Pending;

private:
    std::unique_ptr<Pending> pending;
};
