"""Pictures that are missing, broken, huge or not pictures at all: the menu still works.

Each case spoils the menu picture and the power-off picture the same way.
"""

import os
import subprocess
from functools import lru_cache

import pictures
import png_file
from harness import BLACK, CLEAR_POINT, MENU_RGB, Case, wait_colour

NAMES = ("velmorine.png", "poweroff.png")
GREEN = (0, 200, 0)
LEFT_POINT, RIGHT_POINT = (20, 20), (200, 20)


def both(make):
    def spoil(theme):
        for name in NAMES:
            path = theme / name
            good = path.read_bytes()
            path.unlink()
            make(path, good)
    return spoil


def write(data_for):
    return both(lambda path, good: path.write_bytes(data_for(good)))


@lru_cache(maxsize=None)
def huge_png():
    return pictures.huge_blank(30000, 30000)


@lru_cache(maxsize=None)
def largest_png():
    return png_file.solid(5600, 5600, MENU_RGB)


def jpeg(path, good):
    subprocess.run(["/usr/bin/convert", "-size", "240x320", "xc:rgb(40,60,200)", f"jpeg:{path}"],
                   check=True, timeout=60)


def huge_jpeg(path, good):
    jpeg(path, good)
    path.write_bytes(pictures.with_jpeg_size(path.read_bytes(), 30000, 30000))


def shows(point_colours, tolerance=0):
    def check(menu, xserver):
        for point, rgb in point_colours:
            wait_colour(xserver, point, rgb, tolerance)
    return check


def shows_before_keys(point_colours, tolerance=0):
    """Checks the menu picture as first shown, then confirms item 2."""
    def keys(xserver):
        shows(point_colours, tolerance)(None, xserver)
        xserver.keys("Right", "Return", delay_ms=0)
    return keys


def imagemagick_missing():
    return None if os.access("/usr/bin/convert", os.X_OK) else "needs /usr/bin/convert (imagemagick)"


CASES = [
    Case("missing", both(lambda path, good: None)),
    Case("empty", write(lambda good: b"")),
    Case("truncated PNG", write(lambda good: good[:len(good) // 2])),
    Case("PNG header only", write(lambda good: good[:33])),
    Case("text named .png", write(lambda good: b"this is not a picture\n" * 100)),
    Case("a directory named like the picture", both(lambda path, good: path.mkdir())),
    Case("a FIFO named like the picture", both(lambda path, good: os.mkfifo(path))),
    Case("a symlink to /dev/zero", both(lambda path, good: path.symlink_to("/dev/zero"))),
    Case("a PNG that declares 30000x30000 pixels", write(lambda good: huge_png()),
         peak_limit_mib=400),
    *[Case(f"{kind} declaring 30000x30000 pixels, named .png", write(lambda good, data=data: data),
           peak_limit_mib=400)
      for kind, data in pictures.declared_huge_headers(30000, 30000).items()],
    Case("JPEG declaring 30000x30000 pixels, named .png", both(huge_jpeg), peak_limit_mib=400,
         skip=imagemagick_missing()),
    # Qt refuses to decode more than 128 MiB; the menu must stay near that.
    Case("the largest picture Qt decodes, 5600x5600", write(lambda good: largest_png()),
         peak_limit_mib=800),
    Case("16-bit PNG with transparency",
         write(lambda good: pictures.half_transparent_16bit(240, 320, GREEN)),
         keys=shows_before_keys([(LEFT_POINT, GREEN), (RIGHT_POINT, BLACK)])),
    Case("palette PNG with transparency",
         write(lambda good: pictures.half_transparent_palette(240, 320, GREEN)),
         keys=shows_before_keys([(LEFT_POINT, GREEN), (RIGHT_POINT, BLACK)])),
    Case("a JPEG under the .png name", both(jpeg),
         keys=shows_before_keys([(CLEAR_POINT, MENU_RGB)], tolerance=8),
         skip=imagemagick_missing()),
]
