"""Pictures that Qt's readers find hard: odd PNG formats, huge sizes, lying headers."""

import struct

from png_file import chunk, encode


def half_transparent_16bit(width, height, rgb):
    """16-bit RGBA: the left half opaque rgb, the right half fully transparent."""
    left = struct.pack(">HHHH", rgb[0] * 257, rgb[1] * 257, rgb[2] * 257, 0xFFFF)
    right = struct.pack(">HHHH", 0xFFFF, 0xFFFF, 0xFFFF, 0)
    row = left * (width // 2) + right * (width - width // 2)
    return encode(width, height, 16, 6, (row for _ in range(height)))


def half_transparent_palette(width, height, rgb):
    """A palette picture: index 1 (left half) is opaque rgb, index 0 (right half) transparent."""
    palette = chunk(b"PLTE", bytes((255, 255, 255)) + bytes(rgb))
    transparency = chunk(b"tRNS", bytes((0, 255)))
    row = b"\x01" * (width // 2) + b"\x00" * (width - width // 2)
    return encode(width, height, 8, 3, (row for _ in range(height)), palette + transparency)


def huge_blank(width, height):
    """A valid 1-bit grey picture: a few hundred kilobytes on disk, gigabytes once decoded."""
    row = bytes((width + 7) // 8)
    return encode(width, height, 1, 0, (row for _ in range(height)))


def declared_huge_headers(width, height):
    """Headers of other formats Qt reads, each declaring width x height pixels over a few bytes."""
    bmp = (b"BM" + struct.pack("<IHHI", 54, 0, 0, 54)
           + struct.pack("<IiiHHIIiiII", 40, width, height, 1, 24, 0, 0, 2835, 2835, 0, 0))
    return {
        "PPM": f"P6\n{width} {height}\n255\n".encode() + bytes(64),
        "XPM": f'/* XPM */\nstatic char *x[] = {{\n"{width} {height} 1 1",\n"a c #ff0000",\n'.encode(),
        "XBM": f"#define x_width {width}\n#define x_height {height}\nstatic char x_bits[] = {{\n0x00,\n".encode(),
        "BMP": bmp + bytes(64),
    }


def with_jpeg_size(jpeg, width, height):
    """A JPEG whose frame header claims width x height instead of its real size."""
    data = bytearray(jpeg)
    frame = data.find(b"\xff\xc0")
    data[frame + 5:frame + 9] = struct.pack(">HH", height, width)
    return bytes(data)
