#!/usr/bin/env python3
"""powermenu-preview draws what the menu itself shows: the real powermenu runs
on a virtual X screen, is driven with real key presses, and every screen it
shows is compared pixel by pixel with the preview of the same state."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import processes  # noqa: E402
from polling import wait_until  # noqa: E402
from xdisplay import XDisplay  # noqa: E402

MENU = None
PREVIEW = None
CONVERT = "/usr/bin/convert"  # an earlier "convert" in PATH may be something else
WIDTH, HEIGHT = 200, 260

# Item scripts hold the menu on its last screen until the test lets go.
SCRIPT = """#!/bin/sh
echo {item} > ran
i=0
while [ -e hold ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
"""

# Highlights cross the transparent band of the picture, where earlier paints
# stay visible; the picture sits away from the corner so black shows around it.
CONF = """icon0_y={icon0_y}
icon1_y={icon1_y}
width0=40
width1={width1}
height0=50
height1={height1}
reflash_x=5
shut_x=60
reboot_x=115
cancel_x={cancel_x}
start_x=30
start_y=40
line_color=65280
"""
DISTINCT = dict(icon0_y=60, icon1_y=150, width1=100, height1=30, cancel_x=30)
# The cancel highlight where item 0's is: the cancel press cannot be caught
# on screen (the menu ends 50 ms after it), item 0's can, and looks the same.
CANCEL_ON_ITEM_0 = dict(icon0_y=60, icon1_y=60, width1=40, height1=50, cancel_x=5)


def make_theme(root, name, conf, poweroff):
    theme = os.path.join(root, name)
    os.mkdir(theme)
    with open(os.path.join(theme, "conf.ini"), "w") as f:
        f.write(CONF.format(**conf))
    subprocess.run([CONVERT, "-size", "160x200", "xc:#203050", "-fill", "#c08030", "-draw", "rectangle 10,10 150,40",
                    "-fill", "#30a060", "-draw", "circle 80,150 80,185", "-alpha", "set",
                    "-region", "160x14+0+80", "-alpha", "transparent", "+region",
                    "PNG32:" + os.path.join(theme, "velmorine.png")], check=True)
    if poweroff == "small":
        # Smaller than the screen: the pressed menu stays visible around it.
        picture = ["-size", "100x80", "xc:#e0e0e0", "-fill", "#a02020", "-draw", "rectangle 20,20 79,59"]
    else:
        # Wholly transparent: the pressed menu stays on screen while the script runs.
        picture = ["-size", "4x4", "xc:none"]
    subprocess.run([CONVERT, *picture, "PNG32:" + os.path.join(theme, "poweroff.png")], check=True)
    for item in range(3):
        path = os.path.join(theme, f"item{item}.sh")
        with open(path, "w") as f:
            f.write(SCRIPT.format(item=item))
        os.chmod(path, 0o755)
    return theme


def raw_rgb(source, input=None):
    return subprocess.run([CONVERT, source, "-depth", "8", "rgb:-"], input=input, capture_output=True,
                          check=True, timeout=60).stdout


def differing_pixels(a, b):
    if len(a) != len(b):
        return max(len(a), len(b)) // 3
    return sum(1 for i in range(0, len(a), 3) if a[i:i + 3] != b[i:i + 3])


class PreviewMatchesMenu(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="powermenu-preview-")
        cls.themes = {"distinct": make_theme(cls.root, "distinct", DISTINCT, "small"),
                      "cancel-on-item-0": make_theme(cls.root, "cancel-on-item-0", CANCEL_ON_ITEM_0, "clear")}
        cls.screen = XDisplay(WIDTH, HEIGHT)

    @classmethod
    def tearDownClass(cls):
        cls.screen.stop()
        shutil.rmtree(cls.root)

    def preview(self, theme, state):
        out = os.path.join(self.root, f"{os.path.basename(theme)}-{state}.png")
        subprocess.run([PREVIEW, theme, "-o", out, "--screen", f"{WIDTH}x{HEIGHT}", "--state", state],
                       check=True, capture_output=True, timeout=60)
        return raw_rgb(out)

    def wait_for(self, expected, what):
        last = {}

        def matches():
            last["shot"] = self.screen.screenshot()
            last["rgb"] = raw_rgb("xwd:-", input=last["shot"].xwd)
            return last["rgb"] == expected

        try:
            wait_until(matches, what)
        except AssertionError:
            path = last["shot"].save_png(
                os.path.join(tempfile.gettempdir(), f"powermenu-preview-mismatch-{what}.png"))
            self.fail(f"{what}: the menu's screen differs from the preview in "
                      f"{differing_pixels(last['rgb'], expected)} pixels (the menu's screen is saved in {path})")

    def run_menu(self, theme, steps, final_state, script=None):
        """Starts the menu, presses each (key, state) step's key once the
        screen shows the step before, and compares the final screen. With
        `script`, the menu is to run that item's script after the last step."""
        hold = os.path.join(theme, "hold")
        ran = os.path.join(theme, "ran")
        open(hold, "w").close()
        if os.path.exists(ran):
            os.remove(ran)
        menu = processes.start(self, [MENU], cwd=theme, env=self.screen.env,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            self.wait_for(self.preview(theme, "focus-1"), "start")
            for key, state in steps:
                self.screen.keys(key)
                self.wait_for(self.preview(theme, state), state)
            self.wait_for(self.preview(theme, final_state), final_state)
            if script is None:
                self.screen.keys("F2")
            else:
                # F2 before the script starts would still cancel it.
                wait_until(lambda: os.path.exists(ran), f"{os.path.basename(ran)} to appear")
                with open(ran) as f:
                    self.assertEqual(f.read().strip(), str(script))
                os.remove(hold)
            processes.exit_status(menu)
        finally:
            processes.stop(menu)
            if os.path.exists(hold):
                os.remove(hold)

    def test_focus_screens(self):
        theme = self.themes["distinct"]
        for key, state in [("Left", "focus-0"), ("Right", "focus-2"), ("Down", "focus-cancel")]:
            with self.subTest(state):
                self.run_menu(theme, [(key, state)], state)

    def test_pressed_screens(self):
        theme = self.themes["cancel-on-item-0"]
        self.run_menu(theme, [("Left", "focus-0"), ("Return", "pressed-0")], "pressed-cancel", script=0)
        self.run_menu(theme, [("Return", "pressed-1")], "pressed-1", script=1)
        self.run_menu(theme, [("Right", "focus-2"), ("Return", "pressed-2")], "pressed-2", script=2)

    def test_poweroff_screen_shows_the_pressed_menu_around_a_small_picture(self):
        self.run_menu(self.themes["distinct"], [("Return", "poweroff")], "poweroff", script=1)


class ContactSheet(unittest.TestCase):
    """The sheet holds all nine screens, framed, in the order of --state's list."""

    STATES = ["focus-0", "focus-1", "focus-2", "focus-cancel",
              "pressed-0", "pressed-1", "pressed-2", "pressed-cancel", "poweroff"]
    FRAME = bytes([0x90, 0x90, 0x90])

    def framed_screens(self, sheet, sheet_width, width, height):
        """The insides of every width x height frame in the sheet, in reading order."""
        def pixel_row(x, y, length):
            start = (y * sheet_width + x) * 3
            return sheet[start:start + length * 3]

        edge = self.FRAME * (width + 2)
        found = []
        for y in range(len(sheet) // 3 // sheet_width - height - 1):
            row = sheet[y * sheet_width * 3:(y + 1) * sheet_width * 3]
            at = row.find(edge)
            while at >= 0:
                if at % 3 == 0:
                    x = at // 3
                    if all(pixel_row(x, y + dy, 1) == self.FRAME for dy in range(height + 2)):
                        found.append(b"".join(pixel_row(x + 1, y + 1 + dy, width) for dy in range(height)))
                at = row.find(edge, at + 3)
        return found

    def test_sheet_holds_the_nine_screens(self):
        root = tempfile.mkdtemp(prefix="powermenu-sheet-")
        self.addCleanup(shutil.rmtree, root)
        theme = make_theme(root, "theme", DISTINCT, "small")
        width, height = 120, 150
        sheet_path = os.path.join(root, "sheet.png")
        subprocess.run([PREVIEW, theme, "-o", sheet_path, "--screen", f"{width}x{height}"],
                       check=True, capture_output=True, timeout=60)
        sheet_width = int(subprocess.run([CONVERT, sheet_path, "-format", "%w", "info:"], capture_output=True,
                                         text=True, check=True, timeout=60).stdout)
        screens = self.framed_screens(raw_rgb(sheet_path), sheet_width, width, height)
        expected = []
        for state in self.STATES:
            out = os.path.join(root, state + ".png")
            subprocess.run([PREVIEW, theme, "-o", out, "--screen", f"{width}x{height}", "--state", state],
                           check=True, capture_output=True, timeout=60)
            expected.append(raw_rgb(out))
        self.assertEqual(len(screens), len(self.STATES))
        for state, screen, want in zip(self.STATES, screens, expected):
            self.assertTrue(screen == want, f"the sheet's {state} screen differs from --state {state}")


class PreviewCommandLine(unittest.TestCase):
    def run_preview(self, *args):
        return subprocess.run([PREVIEW, *args], capture_output=True, text=True, timeout=60)

    def test_usage_errors_exit_2(self):
        for args in ([], ["-o"], ["-o", "x.png", "--state", "sleeping"], ["-o", "x.png", "--screen", "240"],
                     ["-o", "x.png", "--bogus"], ["/nonexistent/theme", "-o", "x.png"]):
            with self.subTest(args=args):
                result = self.run_preview(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("usage: powermenu-preview", result.stderr)

    def test_unwritable_output_is_reported(self):
        result = self.run_preview("-o", "/nonexistent/folder/x.png")
        self.assertEqual(result.returncode, 1)
        self.assertIn("cannot write /nonexistent/folder/x.png", result.stderr)


if __name__ == "__main__":
    MENU, PREVIEW = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    unittest.main(argv=sys.argv[:1], verbosity=2)
