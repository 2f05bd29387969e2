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


class Menu(unittest.TestCase):
    """The menu in a theme folder of its own on this row's display path."""
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


class Walks(Menu):
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

    def test_a_second_press_opens_no_second_menu_and_f2_runs_nothing(self):
        self.start("one", "two")
        status, said = self.path.second_press()
        self.assertEqual((status, said.count("\n")), (1, 1), said)
        # Nothing can hide a menu on the framebuffer, so there is nothing to bring back.
        self.assertIn("it ends with F2" if ROW.path == "vnc" else "brought it to the front", said)
        self.path.keys("Right")
        self.wait_for_focus("item2")
        # Extra arguments count in the status.
        self.path.keys("F2")
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


class Seat(Menu):
    """Two outputs, and a window behind the menu on the second one that logs what reaches it."""
    # A point on the second output, inside the window behind.
    OTHER = (paths.HEAD[0] + 100, 100)
    # What the window behind logs when a click or a key reaches it (xev, wev).
    REACHED = ("ButtonPress", "KeyPress", "] key:", "] button:")

    def setUp(self):
        super().setUp()
        self.log = os.path.join(self.theme, "..", "behind.log")
        self.path.window_on_the_other_head(self, self.enterContext(open(self.log, "w")))
        wait_until(lambda: self.path.pixel(self.OTHER) != theme.BLACK, "the window behind on the screen")

    def behind_got(self):
        with open(self.log) as log:
            return [line for line in log if any(word in line for word in self.REACHED)]

    def wait_for_the_whole_seat(self):
        self.wait_for((20, 20), theme.PICTURE, "the menu picture")
        for point in (self.OTHER, (2 * paths.HEAD[0] - 1, paths.HEAD[1] - 1)):
            self.wait_for(point, theme.BLACK, f"the other output covered at {point}")

    def test_the_other_output_is_covered_and_takes_nothing_from_the_menu(self):
        self.start()
        self.wait_for_the_whole_seat()
        if hasattr(self.path, "plug_in_output"):
            self.wait_for(self.path.plug_in_output(), theme.BLACK, "a shield on the output plugged in")
        reached = len(self.behind_got())
        self.path.reach_for_the_other_head()
        self.path.keys("x", "Return")
        self.assert_ended("item1\n")
        self.assertEqual(self.behind_got()[reached:], [], "what reached the window behind")

    def test_a_second_press_brings_back_a_menu_that_a_workspace_switch_hid(self):
        self.start()
        if getattr(self.path, "overlay", False):
            self.skipTest("nothing hides an overlay (the next test)")
        self.wait_for_the_whole_seat()
        hidden = lambda: self.path.pixel((20, 20)) != theme.PICTURE
        if hasattr(self.path, "focus_behind"):
            # Back on its workspace, the menu holds the keys again, also when the window behind has the focus.
            self.path.switch_workspace()
            wait_until(hidden, "the workspace switch to hide the menu")
            self.path.switch_workspace(back=True)
            self.path.focus_behind()
            self.path.keys("Right")
            self.wait_for_focus("item2")
        self.path.switch_workspace()
        wait_until(hidden, "the workspace switch to hide the menu")
        status, said = self.path.second_press()
        self.assertEqual((status, said.count("\n")), (1, 1), said)
        self.assertIn("brought it to the front", said)
        self.wait_for_the_whole_seat()
        self.path.keys("F2")
        self.assert_ended("")

    def test_an_overlay_keeps_the_screen_and_the_keys_through_a_workspace_switch_and_a_focus_move(self):
        self.start()
        if not getattr(self.path, "overlay", False):
            self.skipTest(f"this build makes no overlay on {ROW.name}")
        self.wait_for_the_whole_seat()
        reached = len(self.behind_got())
        # A focus move to the other output, a workspace switch there, and the window behind focused:
        # each would give a full-screen window's keys away.
        self.path.reach_for_the_other_head()
        self.path.sway("workspace 2")
        self.path.sway('[title="^wev$"] focus')
        self.path.keys("x", "Right")
        self.wait_for_focus("item2")
        self.wait_for_the_whole_seat()
        status, said = self.path.second_press()
        self.assertEqual((status, said.count("\n")), (1, 1), said)
        self.path.keys("Return")
        self.assert_ended("item2\n")
        self.assertEqual(self.behind_got()[reached:], [], "what reached the window behind")


if __name__ == "__main__":
    rows = {row.name: row for row in paths.ROWS}
    if len(sys.argv) != 3 or sys.argv[2] not in rows:
        sys.exit(__doc__)
    PROGRAM, ROW = os.path.abspath(sys.argv[1]), rows[sys.argv[2]]
    unittest.main(argv=[sys.argv[0], "Seat" if ROW.two_heads else "Walks"], verbosity=2)
