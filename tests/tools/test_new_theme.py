#!/usr/bin/env python3
"""powermenu-new-theme makes a theme that fills the screen it was made for,
with the script set asked for, and never overwrites a theme."""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, timeout=300)


class NewTheme(unittest.TestCase):
    def test_theme_fills_its_screen_and_is_never_overwritten(self):
        # (--screen as typed, the screen it means, --scripts)
        for typed, screen, scripts in [("1080x2400", "1080x2400", []), ("1920X1080", "1920x1080", ["systemd"])]:
            with self.subTest(typed), tempfile.TemporaryDirectory() as top:
                theme = os.path.join(top, "new", "theme")
                made = run(NEW_THEME, "--screen", typed, *(["--scripts"] + scripts if scripts else []), theme)
                self.assertEqual(made.returncode, 0, made.stderr)
                check = run(CHECK, theme, "--screen", screen)
                self.assertEqual(check.returncode, 0, check.stdout)
                self.assertIn(f"velmorine.png  {screen}", check.stdout)
                source = os.path.join(THEMES, (scripts or ["default"])[0])
                self.assertEqual(filecmp.cmpfiles(theme, source, ["item0.sh", "item1.sh", "item2.sh"], False)[0],
                                 ["item0.sh", "item1.sh", "item2.sh"])
                before = {name: os.stat(os.path.join(theme, name)).st_mtime_ns for name in os.listdir(theme)}
                again = run(NEW_THEME, "--screen", "240x320", theme)
                self.assertEqual((again.returncode, os.listdir(os.path.dirname(theme))), (1, ["theme"]), again.stderr)
                self.assertEqual(before, {name: os.stat(os.path.join(theme, name)).st_mtime_ns for name in before})


if __name__ == "__main__":
    NEW_THEME, CHECK, THEMES = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=1)
