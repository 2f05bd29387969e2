"""Screenshots as pixels: binary PPM (P6), as grim, ImageMagick and the VNC client give them."""

import re


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, point):
        at = (point[1] * self.width + point[0]) * 3
        return tuple(self.rgb[at:at + 3])

    @classmethod
    def from_ppm(cls, data):
        # The header is four fields, perhaps with comments between them.
        magic, width, height, maxval = re.sub(rb"#[^\n]*", b"", data[:200]).split()[:4]
        size = int(width) * int(height) * 3
        if magic != b"P6" or maxval != b"255" or len(data) < size + 11:
            raise ValueError(f"not a whole 8-bit binary PPM: {data[:20]!r}")
        # The pixels are the file's last bytes; they may begin with bytes that look like blanks.
        return cls(int(width), int(height), data[len(data) - size:])
