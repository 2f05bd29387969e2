#!/usr/bin/env python3
"""The built menu in a real window on one display path, walked as a user would: the first
frame, real keys and taps reaching it, the script really run, the exit status.

Usage: walks.py PATH/TO/powermenu ROW   (rows: see paths.ROWS)"""

import os
import sys
import tempfile
import unittest

sys.path[:0] = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness")]

import menu_theme as theme  # noqa: E402
import paths  # noqa: E402
import processes  # noqa: E402
from polling import wait_until  # noqa: E402

PROGRAM = ROW = None


class Walks(unittest.TestCase):
    def setUp(self):
        self.path = paths.PATHS[ROW.path](self, ROW)
        self.theme = os.path.join(self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-walk-")), "theme")
        os.mkdir(self.theme)
        theme.make_theme(self.theme, hold=True)

    def start(self, *args):
        self.menu = self.path.start(self, PROGRAM, self.theme, ROW.menu_env, *args)
        self.wait_for_focus("item1")
        self.menu_environment = theme.environment(self.menu.pid)

    def wait_for(self, point, rgb, what):
        def shown():
            if self.menu.poll() is not None:
                raise AssertionError(f"the menu ended (status {self.menu.returncode}) before {what}")
            return self.path.pixel(point) == rgb
        wait_until(shown, what, last_seen=lambda: self.path.pixel(point))

    def wait_for_focus(self, target):
        self.wait_for(theme.CORNER[target], theme.LINE, f"the focus on {target}")

    def assert_ended(self, scripts, status=1):
        open(os.path.join(self.theme, "go"), "w").close()
        self.assertEqual(processes.exit_status(self.menu), status, "exit status")
        self.assertEqual(theme.scripts_run(self.theme), scripts)

    def test_keys_move_the_focus_and_return_runs_the_script_under_the_power_off_picture(self):
        self.start()
        w, h = theme.SCREEN_SIZE
        for point, rgb in [(theme.OUTSIDE_PICTURE, theme.BLACK), ((20, 20), theme.PICTURE),
                           ((219, 299), theme.PICTURE), ((220, 300), theme.BLACK), ((20, 300), theme.BLACK)]:
            self.wait_for(point, rgb, f"the first frame's {rgb} at {point}")
        for key, target in [("Right", "item2"), ("6", "item0"), ("Down", "cancel"), ("Up", "item0")]:
            self.path.keys(key)
            self.wait_for_focus(target)
        self.path.keys("Return")
        for corner in [(0, 0), (w - 1, h - 1)]:
            self.wait_for(corner, theme.POWER_OFF, "the power-off picture over the screen")
        wait_until(lambda: theme.scripts_run(self.theme) == "item0\n", "item 0's script to start")
        self.assertIsNone(self.menu.poll(), "the menu waits for its script")
        self.assert_ended("item0\n")
        # Whatever the menu sets for the toolkit's sake stays out of the script's way.
        script = theme.environment(self.theme)
        for name in (b"PWD", b"OLDPWD", b"SHLVL", b"_"):
            script.pop(name, None)
            self.menu_environment.pop(name, None)
        changed = {name for name in script.keys() | self.menu_environment.keys()
                   if script.get(name) != self.menu_environment.get(name)}
        self.assertEqual(changed, set(), "variables the script got otherwise than the menu")

    def test_every_press_of_a_burst_counts_once(self):
        self.start()
        # From item 1, 1,301 steps to the right end on item 0.
        self.path.keys(*["Right"] * 301, delay_ms=1)
        self.path.keys(*["Right"] * 1000, delay_ms=0)
        self.path.keys("Return")
        self.assert_ended("item0\n")

    def test_a_closing_key_held_a_second_reaches_no_window_behind(self):
        if not hasattr(self.path, "window_behind"):
            self.skipTest(f"{ROW.name} has no window behind the menu")
        log = self.enterContext(tempfile.NamedTemporaryFile("w", prefix="powermenu-behind-"))
        got = self.path.window_behind(self, log)
        for ended, (key, scripts) in enumerate([("F2", ""), ("Return", "item1\n")], 1):
            self.start()
            self.path.hold(key, 1.0)
            self.assert_ended(scripts)
            # A last key shows that the window behind has the keyboard again, and that it got no other.
            self.path.keys("x")
            wait_until(lambda: got().count("x") == 2 * ended, "the last key to reach the window behind",
                       last_seen=got)
            self.assertEqual(got(), ["x", "x"] * ended, f"what the window behind got of {key} held on the menu")

    def test_keys_reach_the_menu_while_another_window_has_the_focus(self):
        if not hasattr(self.path, "focus_elsewhere"):
            self.skipTest(f"{ROW.name} gives the focus to no other window here")
        self.start()
        self.path.focus_elsewhere(self)
        self.path.keys("Right", "Return")
        self.assert_ended("item2\n")

    def test_f2_runs_nothing_and_extra_arguments_count_in_the_status(self):
        self.start("one", "two")
        self.path.keys("Right", "F2")
        self.assert_ended("", status=3)

    def test_a_slide_off_only_focuses_and_a_tap_on_cancel_runs_nothing(self):
        if not self.path.taps:
            self.skipTest(f"{ROW.name} has no pointer here")
        self.start()
        self.path.tap(theme.TAP["item2"], theme.GAP)
        self.wait_for_focus("item2")
        self.path.tap(theme.TAP["cancel"], theme.TAP["cancel"])
        self.assert_ended("")

    def test_a_cancelled_touch_runs_nothing_and_a_resting_thumb_stops_no_tap(self):
        if not hasattr(self.path, "touch"):
            self.skipTest(f"{ROW.name} has no touch screen here")
        self.start()
        # The compositor keeps the touch for a gesture of its own: the focus goes back, nothing runs.
        self.path.touch(("down", 0, theme.TAP["item0"]))
        wait_until(lambda: self.path.pixel(theme.CORNER["item1"]) != theme.LINE, "the finger to take the focus")
        self.path.touch(("cancel",))
        self.wait_for_focus("item1")
        # A thumb rests beside the picture; a finger slides off item 2 and back, and lifts.
        self.path.touch(("down", 1, theme.OUTSIDE_PICTURE), ("down", 2, theme.TAP["item2"]), ("move", 2, theme.GAP),
                        ("move", 2, theme.TAP["item2"]), ("up", 2))
        wait_until(lambda: theme.scripts_run(self.theme) == "item2\n", "item 2's script to start")
        self.path.touch(("up", 1))
        self.assert_ended("item2\n")


if __name__ == "__main__":
    rows = {row.name: row for row in paths.ROWS}
    if len(sys.argv) != 3 or sys.argv[2] not in rows:
        sys.exit(__doc__)
    PROGRAM, ROW = os.path.abspath(sys.argv[1]), rows[sys.argv[2]]
    unittest.main(argv=sys.argv[:1], verbosity=2)
