"""Taps on the menu under a real X server (Xvfb), with the pointer moved and
clicked by xdotool as a touch screen's driver would."""

import os
import tempfile
import unittest

from menu_theme import CORNER, GAP, LINE, SCREEN_SIZE, TAP, make_theme, scripts_run
from polling import wait_until
from processes import exit_status, start
from xdisplay import XDisplay

POWERMENU = os.environ["POWERMENU"]


class TouchOnX11(unittest.TestCase):
    def setUp(self):
        self.theme = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-x11-"))
        make_theme(self.theme)
        self.x = self.enterContext(XDisplay(*SCREEN_SIZE))
        self.menu = start(self, [POWERMENU, "-platform", "xcb"], cwd=self.theme, env=self.x.env)
        self.wait_for_focus("item1")

    def wait_for_focus(self, target):
        def focus_shown():
            if self.menu.poll() is not None:
                raise AssertionError(f"the menu ended early, with status {self.menu.returncode}")
            return self.x.screenshot().pixel(*CORNER[target]) == LINE
        wait_until(focus_shown, f"the focus to show on {target}")

    def test_tap_on_item_2_runs_its_script_once(self):
        self.x.xdotool("mousemove", *TAP["item2"], "click", "1")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "item2\n")

    def test_tap_on_cancel_runs_nothing(self):
        self.x.xdotool("mousemove", *TAP["cancel"], "click", "1")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "")

    def test_press_on_an_item_released_outside_confirms_nothing(self):
        self.x.xdotool("mousemove", *TAP["item2"], "mousedown", "1",
                       "mousemove", *GAP, "mouseup", "1")
        self.wait_for_focus("item2")
        # A confirm would make the menu ignore this key.
        self.x.xdotool("key", "Down")
        self.wait_for_focus("cancel")
        self.x.xdotool("key", "F2")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "")


if __name__ == "__main__":
    unittest.main()
