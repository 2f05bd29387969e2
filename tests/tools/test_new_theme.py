#!/usr/bin/env python3
"""powermenu-new-theme makes a theme that fills the screen it was made for,
with the script set asked for, and never overwrites a theme."""
import filecmp
import os
import subprocess
import sys
import tempfile
import unittest

NEW_THEME = CHECK = THEMES = None


def run(*args):
    return subprocess.run(args, capture_output=True, text=True, timeout=300)


class NewTheme(unittest.TestCase):
    def test_theme_fills_its_screen_and_is_never_overwritten(self):
        # (screen as typed, screen it means, script set)
        cases = [("1080x2400", "1080x2400", "default"), ("1920X1080", "1920x1080", "systemd"),
                 ("--screen=480x854", "480x854", None)]
        for typed, screen, scripts in cases:
            with self.subTest(typed), tempfile.TemporaryDirectory() as top:
                theme = os.path.join(top, "new", "theme")
                screen_args = [typed] if typed.startswith("--") else ["--screen", typed]
                script_args = ["--scripts", scripts] if scripts else []
                made = run(NEW_THEME, *screen_args, *script_args, theme)
                self.assertEqual(made.returncode, 0, made.stderr)
                check = run(CHECK, theme, "--screen", screen)
                self.assertEqual(check.returncode, 0, check.stdout)
                self.assertIn(f"velmorine.png  {screen}", check.stdout)
                for n in range(3):
                    self.assertTrue(filecmp.cmp(os.path.join(theme, f"item{n}.sh"),
                                                os.path.join(THEMES, scripts or "default", f"item{n}.sh"), False))

                before = {name: os.stat(os.path.join(theme, name)).st_mtime_ns for name in os.listdir(theme)}
                again = run(NEW_THEME, "--screen", "240x320", theme)
                self.assertEqual(again.returncode, 1, again.stderr)
                self.assertIn("already holds a theme", again.stderr)
                self.assertEqual(before, {name: os.stat(os.path.join(theme, name)).st_mtime_ns
                                          for name in os.listdir(theme)})
                self.assertEqual(sorted(os.listdir(os.path.dirname(theme))), ["theme"])


if __name__ == "__main__":
    NEW_THEME, CHECK, THEMES = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1], verbosity=1)
