"""Screenshots as pixels: binary PPM (P6) as grim, ImageMagick and the VNC
client produce them."""


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, point):
        x, y = point
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])

    @classmethod
    def from_ppm(cls, data):
        fields, at = [], 0
        while len(fields) < 4:
            while data[at:at + 1].isspace():
                at += 1
            if data[at:at + 1] == b"#":
                at = data.index(b"\n", at)
                continue
            end = at
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[at:end])
            at = end
        magic, width, height, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
        if magic != b"P6" or maxval != 255:
            raise ValueError(f"not an 8-bit binary PPM: {magic!r}, maxval {maxval}")
        rgb = data[at + 1:at + 1 + width * height * 3]
        if len(rgb) != width * height * 3:
            raise ValueError("PPM picture is cut short")
        return cls(width, height, rgb)
