#!/usr/bin/env python3
"""powermenu-new-theme makes a theme that fills the screen it was made for
(given, or the running display's, also at a fractional Wayland scale), with
the script set asked for, and never overwrites a theme."""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(here, "..", "harness"), os.path.join(here, "..", "display")]
import paths  # noqa: E402
import png_file  # noqa: E402
import processes  # noqa: E402
from polling import wait_until  # noqa: E402
from xdisplay import XDisplay  # noqa: E402


def run(*args, env=None):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, env=env)


class NewTheme(unittest.TestCase):
    def test_theme_fills_its_screen_and_is_never_overwritten(self):
        # (--screen as typed, or none: the X display's; the screen it means, --scripts)
        for typed, screen, scripts in [("1080x2400", "1080x2400", []), ("1920X1080", "1920x1080", ["systemd"]),
                                       (None, "600x1000", [])]:
            with self.subTest(typed), tempfile.TemporaryDirectory() as top:
                theme = os.path.join(top, "new", "theme")
                options = (["--screen", typed] if typed else []) + (["--scripts"] + scripts if scripts else [])
                if typed:
                    made = run(NEW_THEME, *options, theme)
                else:
                    with XDisplay(*map(int, screen.split("x"))) as display:
                        made = run(NEW_THEME, theme, env=display.env)
                    self.assertIn(f"the screen of the X display {display.env['DISPLAY']} is {screen}", made.stdout)
                self.assertEqual(made.returncode, 0, made.stderr)
                check = run(CHECK, theme, "--screen", screen)
                self.assertEqual(check.returncode, 0, check.stdout)
                self.assertIn(f"velmorine.png  {screen}", check.stdout)
                source = os.path.join(THEMES, (scripts or ["default"])[0])
                copied = ["item0.sh", "item1.sh", "item2.sh", "names.txt"]
                self.assertEqual(filecmp.cmpfiles(theme, source, copied, False)[0], copied)
                before = {name: os.stat(os.path.join(theme, name)).st_mtime_ns for name in os.listdir(theme)}
                again = run(NEW_THEME, "--screen", "240x320", theme)
                self.assertEqual((again.returncode, os.listdir(os.path.dirname(theme))), (1, ["theme"]), again.stderr)
                self.assertEqual(before, {name: os.stat(os.path.join(theme, name)).st_mtime_ns for name in before})

    def test_no_screen_found_says_what_to_do_and_nothing_else(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "SWAYSOCK")}
        # Without a display the framebuffer is asked, and this machine may have one.
        for wayland in ("nowhere-0",) + (() if os.path.exists("/sys/class/graphics/fb0") else (None,)):
            with self.subTest(wayland), tempfile.TemporaryDirectory() as top:
                made = run(NEW_THEME, os.path.join(top, "theme"),
                           env={**env, "WAYLAND_DISPLAY": wayland} if wayland else env)
                self.assertEqual(made.returncode, 2)
                first = made.stderr.splitlines()[0]
                self.assertIn("--screen WxH", first)
                if wayland:
                    self.assertIn(f"the Wayland display {wayland}: install wayland-utils", first)
                self.assertTrue(made.stderr.splitlines()[1].startswith("usage:"), made.stderr)

    # sway at scale 1.5 tells Qt 6.4 scale 2: Qt draws more pixels than the screen has, and sway
    # shrinks them. The theme is made at what Qt draws, or it fills a corner of the screen.
    def test_a_theme_made_under_a_fractional_wayland_scale_fills_the_screen(self):
        sway = paths.Wayland(self, paths.Row("sway at 1.5", "wayland", sway_output="scale 1.5"))
        theme = os.path.join(self.enterContext(tempfile.TemporaryDirectory()), "theme")
        made = run(NEW_THEME, theme, env=sway.env)
        self.assertEqual(made.returncode, 0, made.stderr)
        size = "320x426" if QT_VERSION < (6, 5) else "240x320"
        self.assertIn(f"is {size}", made.stdout)
        self.assertIn(f"velmorine.png  {size}", run(CHECK, theme, "--screen", size).stdout)
        colour = (0x30, 0x90, 0xC0)
        with open(os.path.join(theme, "velmorine.png"), "wb") as picture:
            picture.write(png_file.solid(*map(int, size.split("x")), colour))
        menu = sway.start(self, MENU, theme, {})
        # 320 / 1.5 is 213 logical rows, which sway shows as 319 of the screen's.
        for corner in [(0, 0), (239, 318)]:
            wait_until(lambda: sway.pixel(corner) == colour, f"the picture at the screen's corner {corner}",
                       last_seen=lambda: sway.pixel(corner))
        sway.keys("F2")
        self.assertEqual(processes.exit_status(menu), 1)


if __name__ == "__main__":
    NEW_THEME, CHECK, THEMES, MENU = sys.argv[1:5]
    QT_VERSION = tuple(map(int, sys.argv[5].split(".")[:2]))
    unittest.main(argv=sys.argv[:1], verbosity=1)
