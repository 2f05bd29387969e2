#!/usr/bin/env python3
"""powermenu-new-theme makes a theme that fills the screen it was made for
(given, or the running display's), with the script set asked for, and never
overwrites a theme."""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
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


if __name__ == "__main__":
    NEW_THEME, CHECK, THEMES = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=1)
