#include "platform/fresh_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>

namespace {

constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;

struct Mapping {
    void* base;
    std::size_t length;
};

void unmap(void* info)
{
    auto* mapping = static_cast<Mapping*>(info);
    munmap(mapping->base, mapping->length);
    delete mapping;
}

std::uintptr_t round_up(std::uintptr_t value, std::uintptr_t step)
{
    return (value + step - 1) / step * step;
}

} // namespace

QImage imageInFreshMemory(int width, int height, QImage::Format format)
{
    if (width <= 0 || height <= 0)
        return {};
    const std::size_t row = std::size_t(width) * 4;
    if (std::size_t(height) > (std::numeric_limits<std::size_t>::max() - kHugePage) / row)
        return {};
    const std::size_t bytes = row * std::size_t(height);
    // Room to start the pixels on a huge-page boundary.
    const std::size_t length = bytes + kHugePage;
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED)
        return {};
    const std::uintptr_t start = round_up(reinterpret_cast<std::uintptr_t>(base), kHugePage);
    const std::size_t whole_huge_pages = bytes / kHugePage * kHugePage;
    if (whole_huge_pages > 0)
        madvise(reinterpret_cast<void*>(start), whole_huge_pages, MADV_HUGEPAGE);
    fillInPages(reinterpret_cast<void*>(start), bytes);
    auto* mapping = new Mapping{base, length};
    return QImage(reinterpret_cast<uchar*>(start), width, height, qsizetype(row), format, unmap, mapping);
}

void fillInPages(const void* start, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(start) / page * page;
    const std::uintptr_t end = round_up(reinterpret_cast<std::uintptr_t>(start) + bytes, page);
    madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)start;
    (void)bytes;
#endif
}

void givePagesBack(const void* start, std::size_t bytes)
{
    const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = round_up(reinterpret_cast<std::uintptr_t>(start), page);
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
    if (end > first)
        madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

int rowsPerBand(qsizetype bytesPerLine)
{
    return bytesPerLine > 0 ? int(std::max<qsizetype>(1, (qsizetype(256) << 10) / bytesPerLine)) : 1;
}
