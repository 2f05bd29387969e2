"""Theme folders made for one test: flat pictures in colours that make the highlight easy to
find, a conf.ini, and item scripts that log their number and can hold the power-off screen."""

import os
import stat
from dataclasses import dataclass

import png_file

PICTURE = (30, 60, 150)
LINE = (255, 204, 0)
POWEROFF = (0, 150, 70)
MARKER = 4

# The scripts wait at most this long for the test to let them go, so none outlives a test.
HOLD_LIMIT_TENTHS = 600


@dataclass(frozen=True)
class Screen:
    name: str
    width: int
    height: int
    scale: int
    start_x: int
    start_y: int


PHONE = Screen("phone", 240, 320, scale=1, start_x=20, start_y=24)
LARGE = Screen("large", 1080, 2400, scale=4, start_x=140, start_y=600)

# Picture coordinates on the phone; a larger screen multiplies them by its scale.
PICTURE_SIZE = (200, 280)
TOP_ROW = dict(icon0_y=60, width0=56, height0=80, reflash_x=8, shut_x=72, reboot_x=136)
CANCEL = dict(icon1_y=200, width1=120, height1=40, cancel_x=40)

TARGETS = ("item0", "item1", "item2", "cancel")


def write_png(path, width, height, rows):
    """Writes an 8-bit RGBA PNG; rows(y) gives the y-th row as RGBA bytes."""
    with open(path, "wb") as out:
        out.write(png_file.encode(width, height, 8, 6, (rows(y) for y in range(height))))


def write_flat_png(path, width, height, rgb):
    row = bytes(rgb + (255,)) * width
    write_png(path, width, height, lambda y: row)


def write_marked_transparent_png(path, width, height, rgb, marker):
    """See-through but for a marker x marker square of rgb at the top-left corner."""
    clear = bytes(4) * width
    marked = bytes(rgb + (255,)) * marker + bytes(4) * (width - marker)
    write_png(path, width, height, lambda y: marked if y < marker else clear)


class Theme:
    """A theme folder for `screen`. poweroff is "opaque" (the screen's size, one colour),
    "transparent" (see-through but for a small marker at the top-left corner) or None."""

    def __init__(self, folder, screen, *, menu_picture=True, poweroff="opaque", conf=True,
                 hold_scripts=False):
        self.folder = folder
        self.screen = screen
        s = screen.scale
        self.picture_size = (PICTURE_SIZE[0] * s, PICTURE_SIZE[1] * s)
        self.settings = {key: value * s for key, value in {**TOP_ROW, **CANCEL}.items()}
        self.settings.update(start_x=screen.start_x, start_y=screen.start_y,
                             line_color=(LINE[0] << 16) | (LINE[1] << 8) | LINE[2])
        os.makedirs(folder, exist_ok=True)
        if conf:
            self._write_conf()
        if menu_picture:
            write_flat_png(self.path("velmorine.png"), *self.picture_size, PICTURE)
        if poweroff == "opaque":
            write_flat_png(self.path("poweroff.png"), screen.width, screen.height, POWEROFF)
        elif poweroff == "transparent":
            write_marked_transparent_png(self.path("poweroff.png"), screen.width,
                                         screen.height, POWEROFF, MARKER)
        for item in range(3):
            self._write_script(item)
        if not hold_scripts:
            self.release_scripts()

    def path(self, name):
        return os.path.join(self.folder, name)

    def _write_conf(self):
        with open(self.path("conf.ini"), "w") as conf:
            conf.write("# made by the end-to-end tests\n")
            for key, value in self.settings.items():
                conf.write(f"{key}={value}\n")

    def _write_script(self, item):
        # Relative names on purpose: the menu runs the scripts in its working directory.
        text = ("#!/bin/sh\n"
                f"echo {item} >> ran.log\n"
                "i=0\n"
                f"while [ ! -e release ] && [ $i -lt {HOLD_LIMIT_TENTHS} ]; do\n"
                "    sleep 0.1\n"
                "    i=$((i + 1))\n"
                "done\n")
        path = self.path(f"item{item}.sh")
        with open(path, "w") as script:
            script.write(text)
        os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR | stat.S_IXGRP | stat.S_IXOTH)

    def release_scripts(self):
        """Lets held scripts finish (and later ones finish at once)."""
        open(self.path("release"), "w").close()

    def scripts_run(self):
        """The item numbers that scripts logged, in the order they ran."""
        try:
            with open(self.path("ran.log")) as log:
                return [int(line) for line in log.read().split()]
        except FileNotFoundError:
            return []

    def rect(self, target):
        """Screen rectangle (x, y, width, height) of a target's highlight."""
        s = self.settings
        if target == "cancel":
            x, y, w, h = s["cancel_x"], s["icon1_y"], s["width1"], s["height1"]
        else:
            key = ("reflash_x", "shut_x", "reboot_x")[int(target[-1])]
            x, y, w, h = s[key], s["icon0_y"], s["width0"], s["height0"]
        return (s["start_x"] + x, s["start_y"] + y, w, h)
