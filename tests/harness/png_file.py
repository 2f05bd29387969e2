"""PNG files written byte by byte, so that each test picture is exactly what its test names."""

import struct
import zlib


def chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def encode(width, height, bit_depth, colour_type, rows, extra_chunks=b""):
    """The PNG's bytes; rows yields each row's bytes without the filter byte."""
    compressor = zlib.compressobj(9)
    idat = b"".join(compressor.compress(b"\0" + row) for row in rows) + compressor.flush()
    header = struct.pack(">IIBBBBB", width, height, bit_depth, colour_type, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + extra_chunks
            + chunk(b"IDAT", idat) + chunk(b"IEND", b""))


def solid(width, height, rgb):
    """An 8-bit RGB picture of one colour."""
    row = bytes(rgb) * width
    return encode(width, height, 8, 2, (row for _ in range(height)))
