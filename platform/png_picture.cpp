#include "platform/png_picture.h"

#include "platform/fresh_memory.h"

#include <QImage>
#include <QImageReader>

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr size_t kSignatureSize = 8;

// libpng asks for a few bytes at a time; one read per 64 KiB instead.
struct FileSource {
    explicit FileSource(int file) : fd(file) {}
    int fd;
    unsigned char buffer[64 * 1024];
    size_t start = 0;
    size_t end = 0;
};

bool read_fully(FileSource& source, unsigned char* data, size_t length)
{
    while (length > 0) {
        if (source.start == source.end) {
            const ssize_t got = read(source.fd, source.buffer, sizeof source.buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            source.start = 0;
            source.end = size_t(got);
        }
        const size_t piece = std::min(length, source.end - source.start);
        std::memcpy(data, source.buffer + source.start, piece);
        source.start += piece;
        data += piece;
        length -= piece;
    }
    return true;
}

void read_from_file(png_structp png, png_bytep data, size_t length)
{
    if (!read_fully(*static_cast<FileSource*>(png_get_io_ptr(png)), data, length))
        png_error(png, "file ends early");
}

// Errors and warnings alike end the decode: a picture that libpng has
// anything to say about is left to Qt, so whatever Qt makes of it stays.
[[noreturn]] void give_up(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

struct Layout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int passes = 1;
    bool alpha = false;
};

// The setjmp functions hold nothing that needs destroying, so a longjmp out
// of libpng leaks nothing.
bool read_header(png_structp png, png_infop info, Layout& layout)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    int depth = 0;
    int colour = 0;
    png_get_IHDR(png, info, &layout.width, &layout.height, &depth, &colour, nullptr, nullptr, nullptr);
    // Qt keeps 16-bit channels in 64-bit images and converts them its own way.
    if (depth > 8)
        return false;
    png_set_expand(png);
    if (!(colour & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    // Blue, green, red, alpha in memory is 0xAARRGGBB on a little-endian
    // machine: Qt's 32-bit formats.
    png_set_bgr(png);
    layout.alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    if (!layout.alpha)
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    layout.passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t(layout.width) * 4;
}

// Where the decoded rows go: rows top to top + height of the picture land
// in `rows`, from column `left` on; every other row, and whole rows when
// only some columns are kept, pass through `scratch`, one picture row long.
struct RowTarget {
    QImage& rows;
    int top;
    int left;
    unsigned char* scratch;
    // Told of final rows a band at a time, when they are final as soon as read.
    const RowsDone* done;
    const QImage* view;
};


bool read_rows(png_structp png, const Layout& layout, const RowTarget& to)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    const bool full_width = to.rows.width() == int(layout.width);
    // An interlaced picture comes in passes over all of it; otherwise the
    // rows below the part are never needed.
    const int end = layout.passes > 1 ? int(layout.height) : to.top + to.rows.height();
    const int band = rowsPerBand(to.rows.bytesPerLine());
    for (int pass = 0; pass < layout.passes; ++pass)
        for (int y = 0; y < end; ++y) {
            const bool kept = y >= to.top && y < to.top + to.rows.height();
            if (kept && full_width) {
                png_read_row(png, to.rows.scanLine(y - to.top), nullptr);
            } else {
                png_read_row(png, to.scratch, nullptr);
                if (kept)
                    std::memcpy(to.rows.scanLine(y - to.top), to.scratch + 4 * to.left, 4 * size_t(to.rows.width()));
            }
            const int final_rows = y + 1 - to.top;
            if (to.done && kept && (final_rows % band == 0 || final_rows == to.rows.height()))
                (*to.done)(*to.view, final_rows);
        }
    if (end == int(layout.height))
        png_read_end(png, nullptr);
    return true;
}

// What Qt would refuse to allocate, the decoder leaves to Qt to refuse.
bool within_allocation_limit(png_uint_32 width, png_uint_32 height)
{
    const unsigned long long bytes = 4ull * width * height;
    const int limit_mib = QImageReader::allocationLimit();
    return limit_mib == 0 || bytes <= (unsigned long long)(limit_mib) << 20;
}

// The menu draws a pixel whole or not at all, so the decision is made once here.
void keep_opaque_or_clear(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qAlpha(line[x]) >= 128 ? line[x] | 0xff000000u : 0u;
    }
}

void release_pixels(void* owner)
{
    delete static_cast<std::shared_ptr<QImage>*>(owner);
}

// Another image over the owner's pixels that keeps them as long as it lives
// and shares nothing else: writing through one such image never copies the
// pixels away from the others.
QImage over_pixels_of(const std::shared_ptr<QImage>& owner, bool writable)
{
    auto* hold = new std::shared_ptr<QImage>(owner);
    const QImage& pixels = *owner;
    if (writable)
        return QImage(owner->bits(), pixels.width(), pixels.height(), pixels.bytesPerLine(), pixels.format(),
                      release_pixels, hold);
    return QImage(pixels.constBits(), pixels.width(), pixels.height(), pixels.bytesPerLine(), pixels.format(),
                  release_pixels, hold);
}

// An interlaced picture fills each row over several passes, so the part's
// rows are kept whole until the last pass and cut to its columns after.
QImage decode_part(png_structp png, const Layout& layout, const QRect& part, const RowsDone& rowsDone)
{
    const bool whole_rows = layout.passes > 1 || part.width() == int(layout.width);
    QImage fresh = imageInFreshMemory(whole_rows ? int(layout.width) : part.width(), part.height(),
                                      layout.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (fresh.isNull())
        return {};
    std::vector<unsigned char> scratch;
    if (part != QRect(0, 0, int(layout.width), int(layout.height)))
        scratch.resize(size_t(layout.width) * 4);
    // Transparent pixels are settled after the last row, interlaced rows in the last pass.
    const bool rows_final_when_read = !layout.alpha && layout.passes == 1 && rowsDone;
    // The pixels as they are written, without sharing (and so detaching) the
    // image's own. Whoever was told of rows may still be copying them when a
    // broken file ends the decode and drops the image, so the view holds
    // the pixels too.
    QImage rows, view;
    if (rows_final_when_read) {
        const auto owner = std::make_shared<QImage>(std::move(fresh));
        rows = over_pixels_of(owner, true);
        view = over_pixels_of(owner, false);
        view.setOffset(part.topLeft());
    } else {
        rows = std::move(fresh);
    }
    const RowTarget target{rows, part.top(), whole_rows ? 0 : part.left(), scratch.data(),
                           rows_final_when_read ? &rowsDone : nullptr, &view};
    if (!read_rows(png, layout, target))
        return {};
    if (rows.width() != part.width())
        return rows.copy(part.left(), 0, part.width(), part.height());
    return rows;
}

} // namespace

PngPiece decodePng(int fd, const QRect& keep, qint64 mostBytes, const RowsDone& rowsDone)
{
    PngPiece piece;
    if (QSysInfo::ByteOrder != QSysInfo::LittleEndian)
        return piece;
    FileSource source(fd);
    unsigned char signature[kSignatureSize];
    if (!read_fully(source, signature, kSignatureSize) || png_sig_cmp(signature, 0, kSignatureSize) != 0)
        return piece;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, give_up, give_up);
    if (!png)
        return piece;
    png_infop info = png_create_info_struct(png);
    Layout layout;
    if (info) {
        png_set_read_fn(png, &source, read_from_file);
        png_set_sig_bytes(png, kSignatureSize);
        png_set_benign_errors(png, 0);
        if (read_header(png, info, layout) && within_allocation_limit(layout.width, layout.height)) {
            piece.whole = QSize(int(layout.width), int(layout.height));
            const QRect part = keep & QRect(QPoint(0, 0), piece.whole);
            if (part.isEmpty()) {
                piece.outcome = PngPiece::Outcome::Decoded;
            } else if (4 * qint64(part.width()) * part.height() > mostBytes) {
                piece.outcome = PngPiece::Outcome::TooLarge;
            } else {
                piece.image = decode_part(png, layout, part, rowsDone);
                if (!piece.image.isNull()) {
                    piece.outcome = PngPiece::Outcome::Decoded;
                    piece.image.setOffset(part.topLeft());
                }
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (piece.image.isNull() || !layout.alpha)
        return piece;
    keep_opaque_or_clear(piece.image);
    piece.image.reinterpretAsFormat(QImage::Format_ARGB32_Premultiplied);
    return piece;
}
