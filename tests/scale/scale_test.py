"""A theme is drawn in the screen's own pixels at every scale factor. Each row runs the menu on
one display path at scale 1 and at another scale and compares the screens pixel for pixel: the
first screen, a moved highlight, and after a tap on item 0 at a device pixel that item pressed
beside the power-off picture; the tap must run item 0's script."""

import glob
import os
import shutil
import subprocess
import tempfile
import unittest

from menu_theme import CORNER, LINE, POWER_OFF, PICTURE_SIZE, make_theme, scripts_run
from png_file import encode, solid
from polling import wait_until
from processes import exit_status, start
from screen_picture import Picture
from xdisplay import XDisplay

POWERMENU = os.environ["POWERMENU"]
# Item 0's top-left corner: one pixel up or left misses it, and it is a whole logical pixel at
# scales 1.5, 2 and 3, where the compositor can put a pointer.
TAP = CORNER["item0"]
AS_USER = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.geteuid() == 0 else []

# (path, screen size, scale): sizes that the scale divides, so that the compositor's logical
# output size is whole.
ROWS = [("x11", (240, 320), "Xft.dpi: 144"), ("x11", (240, 320), "Xft.dpi: 192"),
        ("x11", (240, 320), "QT_SCALE_FACTOR=1.5"), ("wayland", (240, 320), "2"),
        ("wayland", (360, 480), "3")]


def make_scale_theme(folder):
    """The shared test theme, with a picture whose neighbouring pixels all differ, so that any
    resampling shows, and a power-off picture over the top strip only, so that the pressed item
    stays visible below it. Each script waits for a file "go" before it ends."""
    make_theme(folder)
    width, height = PICTURE_SIZE
    rows = (bytes(v for x in range(width) for v in (x * 5 & 255, y * 3 & 255, x ^ y & 255))
            for y in range(height))
    with open(os.path.join(folder, "velmorine.png"), "wb") as out:
        out.write(encode(width, height, 8, 2, rows))
    with open(os.path.join(folder, "poweroff.png"), "wb") as out:
        out.write(solid(240, 20, POWER_OFF))
    for item in range(3):
        with open(os.path.join(folder, f"item{item}.sh"), "w") as out:
            out.write(f"#!/bin/sh\necho item{item} >> ran.log\n"
                      "for i in $(seq 600); do [ -e go ] && exit; sleep 0.05; done\n")


def own(folder):
    if AS_USER:
        subprocess.run(["chown", "-R", "nobody:nogroup", folder], check=True)


def differences(screens, baseline):
    """Each screen that differs from scale 1's: its name, how many pixels differ and the first."""
    found = []
    for name, screen in screens.items():
        base = baseline[name]
        if (screen.width, screen.height) != (base.width, base.height):
            found.append((name, f"{screen.width}x{screen.height} pixels, not "
                                f"{base.width}x{base.height}"))
            continue
        wrong = [at // 3 for at in range(0, len(base.rgb), 3)
                 if screen.rgb[at:at + 3] != base.rgb[at:at + 3]]
        if wrong:
            found.append((name, f"{len(wrong)} pixels, first at "
                                f"{(wrong[0] % base.width, wrong[0] // base.width)}"))
    return found


class X11:
    def __init__(self, test, root, size, scale):
        self.x = test.enterContext(XDisplay(*size))
        self.env = dict(self.x.env)
        if scale.startswith("Xft.dpi"):
            subprocess.run(["xrdb", "-merge"], input=scale.encode(), env=self.env, check=True)
        elif scale != "1":
            self.env.update([scale.split("=")])

    def shown(self, menu):
        self.x.wait_for_window("shut_down", menu.poll)

    def screen(self):
        shot = self.x.screenshot()
        return Picture(shot.width, shot.height, bytes(
            v for y in range(shot.height) for x in range(shot.width) for v in shot.pixel(x, y)))

    def key(self, name):
        self.x.keys(name)

    def tap(self, x, y):
        self.x.xdotool("mousemove", x, y, "click", "1")


class Wayland:
    """sway on its headless back end, run as nobody when we are root since sway refuses root."""

    def __init__(self, test, root, size, scale):
        runtime = os.path.join(root, "runtime")
        os.mkdir(runtime, 0o700)
        config = os.path.join(root, "sway.conf")
        with open(config, "w") as out:
            out.write(f"xwayland disable\noutput HEADLESS-1 mode {size[0]}x{size[1]} scale {scale}\n")
        own(root)
        self.env = {name: value for name, value in os.environ.items()
                    if name not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK")}
        self.env.update(HOME=root, XDG_RUNTIME_DIR=runtime, WLR_BACKENDS="headless",
                        WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman", QT_QPA_PLATFORM="wayland")
        start(test, [*AS_USER, "sway", "--config", config], env=self.env,
              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for name, pattern in (("WAYLAND_DISPLAY", "wayland-[0-9]"), ("SWAYSOCK", "sway-ipc.*.sock")):
            self.env[name] = wait_until(lambda: glob.glob(os.path.join(runtime, pattern)),
                                        f"sway's {pattern} socket")[0]
        # The headless seat has a keyboard only while a virtual one is connected.
        start(test, [*AS_USER, "wtype", "-s", "600000"], env=self.env)

    def shown(self, menu):
        pass

    def screen(self):
        return Picture.from_ppm(self.run("grim", "-t", "ppm", "-"))

    def run(self, *args):
        return subprocess.run([*AS_USER, *args], env=self.env, capture_output=True, check=True).stdout

    def key(self, name):
        self.run("wtype", "-k", name)

    def tap(self, x, y):
        # A headless sway has no pointer to offer, so Return confirms item 0 here; taps in
        # device pixels are covered by the X11 rows and in process.
        self.run("wtype", "-k", "Right", "-k", "Return")


PATHS = {"x11": X11, "wayland": Wayland}


class MenuAtEveryScale(unittest.TestCase):
    def run_menu(self, path, size, scale):
        """The menu's screens on this path at this scale, and the scripts the tap ran."""
        root = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-scale-"))
        theme = os.path.join(root, "theme")
        os.mkdir(theme)
        make_scale_theme(theme)
        # The build folder may be out of nobody's reach; a copy in the theme is not.
        program = shutil.copy(POWERMENU, os.path.join(theme, "powermenu"))
        own(root)
        display = PATHS[path](self, root, size, scale)
        menu = start(self, [*AS_USER, program], cwd=theme, env=display.env)
        display.shown(menu)
        screens = {}

        def focus_on(target, name):
            wait_until(lambda: display.screen().pixel(CORNER[target]) == LINE,
                       f"the focus on {target} at scale {scale}")
            screens[name] = display.screen()

        focus_on("item1", "first screen")
        display.key("Right")
        focus_on("item2", "moved highlight")
        display.tap(*TAP)
        wait_until(lambda: scripts_run(theme), f"a script to start after the tap at scale {scale}")
        wait_until(lambda: display.screen().pixel((0, 0)) == POWER_OFF, "the power-off picture")
        screens["pressed item beside the power-off picture"] = display.screen()
        open(os.path.join(theme, "go"), "w").close()
        exit_status(menu)
        return screens, scripts_run(theme)

    def test_every_scale_shows_the_pixels_of_scale_1(self):
        baselines = {}
        for path, size, scale in ROWS:
            with self.subTest(path=path, scale=scale):
                if (path, size) not in baselines:
                    baselines[path, size] = self.run_menu(path, size, "1")
                screens, ran = self.run_menu(path, size, scale)
                self.assertEqual(differences(screens, baselines[path, size][0]), [])
                self.assertEqual(ran, "item0\n")


if __name__ == "__main__":
    unittest.main()
