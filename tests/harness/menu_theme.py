"""A theme folder for end-to-end runs: plain pictures whose pixels a test can
predict, and item scripts that only note in ran.log that they ran, and in
ran.environ the environment they were given."""

import os

from png_file import solid

# Picture coordinates; the picture (200 x 280) stands at (20, 20) on a
# 240 x 320 screen. Every highlight's top-left corner has an even x + y, where
# the focus stipple sets its pixel.
CONF = {
    "icon0_y": 40, "icon1_y": 200, "width0": 50, "width1": 100,
    "height0": 60, "height1": 40, "reflash_x": 10, "shut_x": 76,
    "reboot_x": 140, "cancel_x": 50, "start_x": 20, "start_y": 20,
    "line_color": 0x00FF00,
}
SCREEN_SIZE = (240, 320)
PICTURE_SIZE = (200, 280)

PICTURE = (0x40, 0x40, 0x40)
POWER_OFF = (0x00, 0x00, 0xFF)
LINE = (0x00, 0xFF, 0x00)
BLACK = (0, 0, 0)

# Screen points: the middle of each target, and each highlight's top-left corner.
TAP = {"item0": (55, 90), "item1": (120, 90), "item2": (185, 90), "cancel": (120, 240)}
CORNER = {"item0": (30, 60), "item1": (96, 60), "item2": (160, 60), "cancel": (70, 220)}
GAP = (88, 90)
OUTSIDE_PICTURE = (5, 5)

HOLD = "i=0\nwhile [ ! -e go ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done\n"


def _write_png(path, size, rgb):
    with open(path, "wb") as out:
        out.write(solid(*size, rgb))


def make_theme(folder, hold=False):
    """Fills folder with conf.ini, the two pictures and three item scripts; held scripts
    wait (at most 30 s) for a file named go before they end."""
    with open(os.path.join(folder, "conf.ini"), "w") as conf:
        conf.writelines(f"{key}={value}\n" for key, value in CONF.items())
    _write_png(os.path.join(folder, "velmorine.png"), PICTURE_SIZE, PICTURE)
    _write_png(os.path.join(folder, "poweroff.png"), SCREEN_SIZE, POWER_OFF)
    for item in range(3):
        script = os.path.join(folder, f"item{item}.sh")
        with open(script, "w") as out:
            out.write(f"#!/bin/sh\necho item{item} >> ran.log\ncat /proc/$$/environ > ran.environ\n"
                      + (HOLD if hold else ""))
        os.chmod(script, 0o755)


def scripts_run(folder):
    """What the item scripts noted, one line per run: "" when none ran."""
    try:
        with open(os.path.join(folder, "ran.log")) as log:
            return log.read()
    except FileNotFoundError:
        return ""


def environment(pid_or_folder):
    """A process's starting environment (a pid), or the last item script's (a theme folder)."""
    path = (os.path.join(pid_or_folder, "ran.environ") if isinstance(pid_or_folder, str)
            else f"/proc/{pid_or_folder}/environ")
    with open(path, "rb") as block:
        return dict(entry.split(b"=", 1) for entry in block.read().split(b"\0") if entry)
