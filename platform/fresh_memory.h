#pragma once

#include <QImage>

#include <cstddef>

// Memory that a process has not touched yet costs a page fault per 4 KiB the
// first time it is written, and on the virtual machines phones and kiosks
// often are, a fault costs microseconds: for a phone-sized picture, 2,500 of
// them take as long as decoding it. These ask for the pages in one go.

// An image in memory of its own: huge pages where the kernel gives them
// (whole 2 MiB pieces only, so a small picture takes no more memory than its
// pixels), every page filled in before it is returned. A null image when
// there is no memory.
QImage imageInFreshMemory(int width, int height, QImage::Format format);

// Fills in at once the pages of memory that is about to be written all over,
// such as a window's new backing store. Best effort: on a kernel that cannot,
// the pages come one fault at a time, as they would anyway.
void fillInPages(const void* start, std::size_t bytes);
