#pragma once

class QImage;

// Decodes the PNG picture that the open file fd holds, from its current
// position, straight into the form the menu draws: Format_RGB32 for a
// picture without transparency, otherwise Format_ARGB32_Premultiplied with
// every pixel fully opaque (alpha from 128 up) or fully transparent. It
// needs nothing from Qt's image plugins and no application object, so it
// can run before Qt has started.
//
// It takes only 8-bit and smaller PNGs that libpng reads without a single
// complaint and that fit Qt's allocation limit; for anything else (another
// format, a broken file, 16-bit channels) it returns a null image, and the
// caller hands the file to Qt, whose verdict then stands.
QImage decodePng(int fd);
