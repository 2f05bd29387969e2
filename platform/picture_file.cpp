#include "platform/picture_file.h"

#include "platform/png_picture.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <limits>
#include <mutex>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {

// Ahead of Qt the screen is not known yet: a picture of up to this many
// decoded bytes is read whole (a 1440x3200 phone's is 17.6 MiB), a larger
// one waits for the screen.
constexpr qint64 kReadAheadBytes = qint64(20) << 20;
constexpr qint64 kNoLimit = std::numeric_limits<qint64>::max();
const QRect kEverything(0, 0, std::numeric_limits<int>::max(), std::numeric_limits<int>::max());

struct OpenedPicture {
    enum class Outcome { Unreadable, Decoded, TooLarge, LeftToQt };
    Outcome outcome = Outcome::Unreadable;
    QImage image;
    QSize whole;
    int fd = -1; // LeftToQt: the open file, rewound
};

bool is_regular(const struct stat& info)
{
    return S_ISREG(info.st_mode);
}

// A FIFO or a device under a picture's name would block the reader forever,
// so it is not opened; and since it could be swapped in between that check
// and the open, the open does not wait and the open file is checked again.
OpenedPicture open_and_decode(const QByteArray& path, bool png_first, const QRect& keep, qint64 most_bytes,
                              const RowsDone& rows_done = {})
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
        PngPiece piece = decodePng(fd, keep, most_bytes, rows_done);
        if (piece.outcome != PngPiece::Outcome::LeftToQt) {
            close(fd);
            picture.outcome = piece.outcome == PngPiece::Outcome::Decoded ? OpenedPicture::Outcome::Decoded
                                                                           : OpenedPicture::Outcome::TooLarge;
            picture.image = std::move(piece.image);
            picture.whole = piece.whole;
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

// Qt's readers decode whole pictures; the part is cut out afterwards.
bool load_with_qt(QImage& image, QSize& whole, int fd, const char* format, const QRect& wanted)
{
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return false;
    }
    QImage loaded = QImageReader(&file, format).read();
    if (loaded.isNull())
        return false;
    whole = loaded.size();
    const QRect part = wanted & loaded.rect();
    if (part.isEmpty())
        image = QImage();
    else
        image = part == loaded.rect() ? std::move(loaded) : loaded.copy(part);
    image.setOffset(part.topLeft());
    return true;
}

} // namespace

struct PictureReadAhead::Pending {
    QByteArray path;
    std::thread thread;
    OpenedPicture result;
    // What the decoding thread has told so far.
    std::mutex lock;
    std::condition_variable told;
    QImage part;
    int rows = 0;
    bool ended = false;

    void rowsDone(const QImage& view, int final_rows)
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            part = view;
            rows = final_rows;
        }
        told.notify_one();
    }

    void end()
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            ended = true;
        }
        told.notify_one();
    }

    // Passes on each band of final rows until the decode has ended.
    void follow(const RowsArriving& rows_arriving)
    {
        std::unique_lock<std::mutex> hold(lock);
        int passed_on = 0;
        for (;;) {
            told.wait(hold, [&] { return ended || rows > passed_on; });
            if (rows > passed_on) {
                const QImage view = part;
                passed_on = rows;
                hold.unlock();
                rows_arriving(view, passed_on);
                hold.lock();
            } else {
                return;
            }
        }
    }
};

namespace {

PictureReadAhead::Pending* active_read_ahead = nullptr;

bool load_part(QImage& image, QSize& whole, const QString& fileName, const char* format, const QRect& wanted,
               const RowsArriving& rows_arriving = {})
{
    const QByteArray path = QFile::encodeName(fileName);
    const bool png_first = !format || qstricmp(format, "png") == 0;
    OpenedPicture picture;
    if (active_read_ahead && png_first && active_read_ahead->path == path) {
        if (rows_arriving)
            active_read_ahead->follow(rows_arriving);
        active_read_ahead->thread.join();
        picture = std::move(active_read_ahead->result);
        active_read_ahead->result.fd = -1;
        // The last rows told hold the decode's pixels: those of a picture
        // found broken would stay in memory as long as the menu.
        active_read_ahead->part = QImage();
        active_read_ahead = nullptr;
    }
    if (picture.outcome == OpenedPicture::Outcome::TooLarge || picture.outcome == OpenedPicture::Outcome::Unreadable)
        picture = open_and_decode(path, png_first, wanted, kNoLimit);
    switch (picture.outcome) {
    case OpenedPicture::Outcome::Decoded:
        image = std::move(picture.image);
        whole = picture.whole;
        return true;
    case OpenedPicture::Outcome::LeftToQt:
        return load_with_qt(image, whole, picture.fd, format, wanted);
    case OpenedPicture::Outcome::TooLarge:
    case OpenedPicture::Outcome::Unreadable:
        break;
    }
    return false;
}

} // namespace

PictureReadAhead::PictureReadAhead(const char* fileName)
    : pending(new Pending)
{
    Pending* job = pending.get();
    job->path = QByteArray(fileName);
    try {
        job->thread = std::thread([job] {
            job->result = open_and_decode(job->path, true, kEverything, kReadAheadBytes,
                                          [job](const QImage& part, int rows) { job->rowsDone(part, rows); });
            job->end();
        });
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

bool loadPicturePart(QImage& image, QSize& whole, const QString& fileName, const QRect& wanted,
                     const RowsArriving& rowsArriving)
{
    return load_part(image, whole, fileName, nullptr, wanted, rowsArriving);
}

bool loadImage(QImage& image, const QString& fileName, const char* format)
{
    QSize whole;
    return load_part(image, whole, fileName, format, kEverything);
}

QRect shownPart(QPoint at, QSize device)
{
    const long long most = std::numeric_limits<int>::max();
    const long long left = std::max(0LL, -(long long)at.x()), top = std::max(0LL, -(long long)at.y());
    const long long right = std::min(most, (long long)device.width() - at.x());
    const long long bottom = std::min(most, (long long)device.height() - at.y());
    if (left >= right || top >= bottom)
        return {};
    return QRect(int(left), int(top), int(right - left), int(bottom - top));
}
