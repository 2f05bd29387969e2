#include "platform/picture_file.h"

#include "platform/png_picture.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

struct OpenedPicture {
    enum class Outcome { Unreadable, Decoded, LeftToQt };
    Outcome outcome = Outcome::Unreadable;
    QImage image;
    int fd = -1; // LeftToQt: the open file, rewound
};

bool is_regular(const struct stat& info)
{
    return S_ISREG(info.st_mode);
}

// A FIFO or a device under a picture's name would block the reader forever,
// so it is not opened; and since it could be swapped in between that check
// and the open, the open does not wait and the open file is checked again.
OpenedPicture open_and_decode(const QByteArray& path, bool png_first)
{
    OpenedPicture picture;
    struct stat info;
    if (stat(path.constData(), &info) != 0 || !is_regular(info))
        return picture;
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return picture;
    if (fstat(fd, &info) != 0 || !is_regular(info)) {
        close(fd);
        return picture;
    }
    if (png_first) {
        picture.image = decodePng(fd);
        if (!picture.image.isNull()) {
            close(fd);
            picture.outcome = OpenedPicture::Outcome::Decoded;
            return picture;
        }
    }
    if (lseek(fd, 0, SEEK_SET) != 0) {
        close(fd);
        return picture;
    }
    picture.outcome = OpenedPicture::Outcome::LeftToQt;
    picture.fd = fd;
    return picture;
}

bool load_with_qt(QImage& image, int fd, const char* format)
{
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return false;
    }
    QImage loaded = QImageReader(&file, format).read();
    if (loaded.isNull())
        return false;
    image = std::move(loaded);
    return true;
}

PictureReadAhead::Pending* active_read_ahead = nullptr;

} // namespace

struct PictureReadAhead::Pending {
    QByteArray path;
    std::thread thread;
    OpenedPicture result;
};

PictureReadAhead::PictureReadAhead(const char* fileName)
    : pending(new Pending{QByteArray(fileName), {}, {}})
{
    Pending* job = pending.get();
    try {
        job->thread = std::thread([job] { job->result = open_and_decode(job->path, true); });
    } catch (const std::system_error&) {
        // No thread: loadImage reads the picture itself, as it would anyway.
        return;
    }
    active_read_ahead = job;
}

PictureReadAhead::~PictureReadAhead()
{
    if (active_read_ahead == pending.get())
        active_read_ahead = nullptr;
    if (pending->thread.joinable())
        pending->thread.join();
    if (pending->result.fd >= 0)
        close(pending->result.fd);
}

bool loadImage(QImage& image, const QString& fileName, const char* format)
{
    const QByteArray path = QFile::encodeName(fileName);
    const bool png_first = !format || qstricmp(format, "png") == 0;
    OpenedPicture picture;
    if (active_read_ahead && png_first && active_read_ahead->path == path) {
        active_read_ahead->thread.join();
        picture = std::move(active_read_ahead->result);
        active_read_ahead->result.fd = -1;
        active_read_ahead = nullptr;
    } else {
        picture = open_and_decode(path, png_first);
    }
    switch (picture.outcome) {
    case OpenedPicture::Outcome::Decoded:
        image = std::move(picture.image);
        return true;
    case OpenedPicture::Outcome::LeftToQt:
        return load_with_qt(image, picture.fd, format);
    case OpenedPicture::Outcome::Unreadable:
        break;
    }
    return false;
}
