"""The menu on Qt's VNC platform: the same framebuffer-style back end as
linuxfb, served over RFB, driven and watched by the tests' own RFB client."""

import os
import tempfile
import unittest

from menu_theme import (BLACK, CORNER, GAP, LINE, OUTSIDE_PICTURE, PICTURE, POWER_OFF,
                        SCREEN_SIZE, TAP, make_theme, scripts_run)
from polling import wait_until
from processes import exit_status, start
from rfb_client import RfbClient

POWERMENU = os.environ["POWERMENU"]
_TCP_LISTEN = "0A"


def listening_port(pid):
    """The TCP port that process pid listens on, found through /proc: with
    port=0 the VNC platform takes a free port but does not say which."""
    inodes = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            target = os.readlink(f"/proc/{pid}/fd/{fd}")
        except FileNotFoundError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        if not os.path.exists(table):
            continue
        with open(table) as lines:
            next(lines)
            for line in lines:
                fields = line.split()
                if fields[3] == _TCP_LISTEN and fields[9] in inodes:
                    return int(fields[1].rsplit(":", 1)[1], 16)
    return None


class MenuOverVnc(unittest.TestCase):
    def setUp(self):
        self.theme = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-vnc-"))
        make_theme(self.theme)
        width, height = SCREEN_SIZE
        self.menu = start(self, [POWERMENU, "-platform", f"vnc:size={width}x{height}:port=0"],
                          cwd=self.theme)
        port = wait_until(lambda: self.menu.poll() is None and listening_port(self.menu.pid),
                          "the VNC server to listen")
        self.client = RfbClient(port)
        self.addCleanup(self.client.close)
        self.wait_for_focus("item1")

    def wait_for_focus(self, target):
        self.client.wait_for(lambda screen: screen.pixel(CORNER[target]) == LINE,
                             f"the focus to show on {target}")

    def test_picture_stands_at_start_on_black(self):
        screen = self.client.picture()
        self.assertEqual((screen.width, screen.height), SCREEN_SIZE)
        self.assertEqual(screen.pixel(OUTSIDE_PICTURE), BLACK)
        self.assertEqual(screen.pixel((20, 20)), PICTURE)
        self.assertEqual(screen.pixel((219, 299)), PICTURE)
        self.assertEqual(screen.pixel((220, 300)), BLACK)
        self.client.key("F2")
        self.assertEqual(exit_status(self.menu), 1)

    def test_keys_move_the_focus_and_return_shows_power_off_then_runs_the_script(self):
        self.client.key("Right")
        self.wait_for_focus("item2")
        self.client.key("6")
        self.wait_for_focus("item0")
        self.client.key("Return")
        self.client.wait_for(lambda screen: screen.pixel(OUTSIDE_PICTURE) == POWER_OFF,
                             "the power-off picture")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "item0\n")

    def test_tap_on_item_2_runs_its_script_once(self):
        self.client.tap(TAP["item2"])
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "item2\n")

    def test_tap_on_cancel_runs_nothing(self):
        self.client.tap(TAP["cancel"])
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "")

    def test_press_on_an_item_released_outside_confirms_nothing(self):
        self.client.pointer(TAP["item2"], pressed=True)
        self.client.pointer(GAP, pressed=True)
        self.client.pointer(GAP, pressed=False)
        self.wait_for_focus("item2")
        # A confirm would make the menu ignore this key.
        self.client.key("Down")
        self.wait_for_focus("cancel")
        self.client.key("F2")
        self.assertEqual(exit_status(self.menu), 1)
        self.assertEqual(scripts_run(self.theme), "")


if __name__ == "__main__":
    unittest.main()
