#pragma once

#include <QImage>

#include <cstddef>

// Memory that a process has not touched yet costs a page fault per 4 KiB the
// first time it is written. Where faults are dear (about 12 us each on the
// virtual machine the benchmarks run on) the 2,500 faults of a phone-sized
// picture take as long as decoding it. These ask for the pages in one go.

// An image in memory of its own: huge pages where the kernel gives them
// (whole 2 MiB pieces only, so a small picture takes no more memory than its
// pixels), every page filled in before it is returned. A null image when
// there is no memory.
QImage imageInFreshMemory(int width, int height, QImage::Format format);

// Fills in at once the pages of memory that is about to be written all over,
// such as a window's new backing store. Best effort: on a kernel that cannot,
// the pages come one fault at a time, as they would anyway.
void fillInPages(const void* start, std::size_t bytes);

// Gives back to the system the whole pages inside memory whose contents are
// no longer needed, such as a picture already copied elsewhere; they read as
// zeros afterwards.
void givePagesBack(const void* start, std::size_t bytes);

// How many rows of this length make about 256 KiB: the band in which a
// picture is filled in, moved and given back, large enough that a band
// costs one call, small enough that little is held twice.
int rowsPerBand(qsizetype bytesPerLine);
