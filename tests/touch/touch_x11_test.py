"""Taps on the menu under a real X server (Xvfb), with the pointer moved and
clicked by xdotool as a touch screen's driver would."""

import os
import subprocess
import tempfile
import unittest

from menu_theme import CORNER, GAP, LINE, SCREEN_SIZE, TAP, make_theme, scripts_run
from processes import exit_status, start, wait_until
from screen_picture import Picture

POWERMENU = os.environ["POWERMENU"]


class TouchOnX11(unittest.TestCase):
    def setUp(self):
        self.theme = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-x11-"))
        make_theme(self.theme)
        self.env = dict(os.environ, DISPLAY=self.start_xvfb())
        self.menu = start(self, [POWERMENU, "-platform", "xcb"], cwd=self.theme, env=self.env)
        self.wait_for_focus("item1")

    def start_xvfb(self):
        # Xvfb picks a free display number itself and writes it to the pipe.
        read_end, write_end = os.pipe()
        width, height = SCREEN_SIZE
        # Without -noreset the server resets when its last client leaves,
        # which a screenshot taken before the menu has connected would cause.
        start(self, ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                     "-nolisten", "tcp", "-noreset"], pass_fds=[write_end])
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        self.assertTrue(number, "Xvfb did not start")
        return f":{number}"

    def screenshot(self):
        dump = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True,
                              check=True).stdout
        ppm = subprocess.run(["/usr/bin/convert", "xwd:-", "ppm:-"], input=dump,
                             capture_output=True, check=True).stdout
        return Picture.from_ppm(ppm)

    def wait_for_focus(self, target):
        def focus_shown():
            if self.menu.poll() is not None:
                raise AssertionError(f"the menu ended early, with status {self.menu.returncode}")
            return self.screenshot().pixel(CORNER[target]) == LINE
        wait_until(focus_shown, f"the focus to show on {target}")

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def test_tap_on_item_2_runs_its_script_once(self):
        self.xdotool("mousemove", *map(str, TAP["item2"]), "click", "1")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "item2\n")

    def test_tap_on_cancel_runs_nothing(self):
        self.xdotool("mousemove", *map(str, TAP["cancel"]), "click", "1")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "")

    def test_press_on_an_item_released_outside_confirms_nothing(self):
        self.xdotool("mousemove", *map(str, TAP["item2"]), "mousedown", "1",
                     "mousemove", *map(str, GAP), "mouseup", "1")
        self.wait_for_focus("item2")
        # A confirm would make the menu ignore this key.
        self.xdotool("key", "Down")
        self.wait_for_focus("cancel")
        self.xdotool("key", "F2")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "")


if __name__ == "__main__":
    unittest.main()
