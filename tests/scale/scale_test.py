"""A theme is drawn in the screen's own pixels at every scale factor. Each row runs the menu on
one display path at scale 1 and at another scale and compares the screens pixel for pixel: the
first screen, a moved highlight, and item 0 pressed beside the power-off picture; confirming
item 0 (on X11 by a tap at its bottom-right device pixel) must run its script."""

import glob, os, shutil, subprocess, tempfile, unittest
from pathlib import Path

from menu_theme import CORNER, GAP, LINE, POWER_OFF, TAP, make_theme, scripts_run
from png_file import solid
from polling import wait_until
from processes import start
from screen_picture import Picture
from xdisplay import XDisplay

# sway refuses to run as root; then the compositor and the menu run as nobody.
AS_USER = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.geteuid() == 0 else []
# Output sizes that the scale divides, so that the compositor's logical size is whole.
ROWS = [("x11", (240, 320), "Xft.dpi: 144"), ("x11", (240, 320), "Xft.dpi: 192"),
        ("x11", (240, 320), "QT_SCALE_FACTOR=1.5"), ("x11", (240, 320), "QT_SCALE_FACTOR=1.75"),
        ("wayland", (240, 320), "2"), ("wayland", (360, 480), "3")]


def make_scale_theme(folder):
    """The shared test theme with a power-off picture over the top strip only, so that the
    pressed item stays in sight. The scripts note that they ran, then wait to be stopped."""
    make_theme(folder)
    Path(folder, "poweroff.png").write_bytes(solid(240, 20, POWER_OFF))
    for item in range(3):
        Path(folder, f"item{item}.sh").write_text(f"#!/bin/sh\necho item{item} >> ran.log\nsleep 60\n")


def differences(screens, baseline):
    """How many pixels differ from scale 1's, for each screen where any does."""
    wrong = {name: sum(screen.pixel((x, y)) != baseline[name].pixel((x, y)) for y in range(screen.height)
                       for x in range(screen.width)) for name, screen in screens.items()}
    return {name: f"{count} pixels differ" for name, count in wrong.items() if count}


def x11(test, root, size, scale):
    """The menu's environment, and how to see the screen, move the focus and confirm item 0."""
    x = test.enterContext(XDisplay(*size))
    env = dict(x.env)
    env.update([scale.split("=")] if "=" in scale else [])
    if scale.startswith("Xft.dpi"):
        subprocess.run(["xrdb", "-merge"], input=scale.encode(), env=env, check=True)

    def screen():
        ppm = subprocess.run(["/usr/bin/convert", "xwd:-", "ppm:-"], input=x.run("xwd", "-root", "-silent"),
                             capture_output=True, check=True).stdout
        return Picture.from_ppm(ppm)
    # A press on item 2 that slides off focuses it; a tap on item 0's bottom-right pixel, half a
    # logical pixel at scale 2, confirms item 0.
    return (env, screen, lambda: x.xdotool("mousemove", *TAP["item2"], "mousedown", 1, "mousemove",
                                           *GAP, "mouseup", 1),
            lambda: x.xdotool("mousemove", 79, 119, "click", 1))


def wayland(test, root, size, scale):
    with open(os.path.join(root, "sway.conf"), "w") as out:
        out.write(f"xwayland disable\noutput HEADLESS-1 mode {size[0]}x{size[1]} scale {scale}\n")
    env = dict(os.environ, HOME=root, XDG_RUNTIME_DIR=os.path.join(root, "runtime"), WLR_BACKENDS="headless",
               WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman", QT_QPA_PLATFORM="wayland")
    env.pop("DISPLAY", None)
    start(test, [*AS_USER, "sway", "--config", os.path.join(root, "sway.conf")], env=env,
          stderr=subprocess.DEVNULL)
    env["WAYLAND_DISPLAY"] = wait_until(
        lambda: glob.glob(os.path.join(root, "runtime", "wayland-[0-9]")), "sway's socket")[0]
    # The headless seat has a keyboard only while a virtual one is connected, and no pointer:
    # keys confirm item 0 here.
    start(test, [*AS_USER, "wtype", "-s", "600000"], env=env)

    def run(*args):
        return subprocess.run([*AS_USER, *args], env=env, capture_output=True, check=True).stdout
    return (env, lambda: Picture.from_ppm(run("grim", "-t", "ppm", "-")),
            lambda: run("wtype", "-k", "Right"), lambda: run("wtype", "-k", "Right", "-k", "Return"))


class MenuAtEveryScale(unittest.TestCase):
    def run_menu(self, path, size, scale):
        """The menu's screens on this path at this scale, and the scripts that ran."""
        root = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-scale-"))
        theme = os.path.join(root, "theme")
        os.mkdir(theme)
        os.mkdir(os.path.join(root, "runtime"), 0o700)
        make_scale_theme(theme)
        program = shutil.copy(os.environ["POWERMENU"], theme)  # the build folder may be out of reach
        if AS_USER:
            subprocess.run(["chown", "-R", "nobody:nogroup", root], check=True)
        env, screen, move, confirm = {"x11": x11, "wayland": wayland}[path](self, root, size, scale)
        start(self, [*AS_USER, program], cwd=theme, env=env)

        def shown(what, point, colour):
            wait_until(lambda: screen().pixel(point) == colour, f"{what} at scale {scale}")
            return screen()
        screens = {"first screen": shown("the focus on item 1", CORNER["item1"], LINE)}
        move()
        screens["moved highlight"] = shown("the focus on item 2", CORNER["item2"], LINE)
        confirm()
        screens["item 0 pressed"] = shown("the power-off picture", (0, 0), POWER_OFF)
        return screens, wait_until(lambda: scripts_run(theme), f"a script to start at scale {scale}")

    def test_every_scale_shows_the_pixels_of_scale_1(self):
        baselines = {}
        for path, size, scale in ROWS:
            with self.subTest(path=path, scale=scale):
                if (path, size) not in baselines:
                    baselines[path, size] = self.run_menu(path, size, "1")[0]
                screens, ran = self.run_menu(path, size, scale)
                self.assertEqual(differences(screens, baselines[path, size]), {})
                self.assertEqual(ran, "item0\n")


if __name__ == "__main__":
    unittest.main()
