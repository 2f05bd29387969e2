#pragma once

#include <memory>

class QImage;
class QString;

// Loads a picture into image, detecting the format unless one is given.
// Unlike QImage::load, a failed load leaves image as it was, and a name
// that is not a regular file (a FIFO, a device, a folder) is never read,
// even when it is swapped in while the picture is being opened.
bool loadImage(QImage& image, const QString& fileName, const char* format = nullptr);

// Starts reading a picture on a thread of its own, so that decoding it
// overlaps Qt's start-up; the next loadImage of the same name in the same
// working directory then takes the result (waiting for it if need be), with
// exactly the outcome that loadImage alone would have had. The thread
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
