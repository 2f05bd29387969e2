"""The menu as a full-screen window under a Wayland compositor: sway on its
headless back end, keys typed by wtype, screenshots taken by grim."""

import glob
import json
import os
import shutil
import subprocess
import tempfile
import unittest

from menu_theme import (BLACK, CORNER, LINE, OUTSIDE_PICTURE, PICTURE, SCREEN_SIZE, make_theme,
                        scripts_run)
from polling import wait_until
from processes import exit_status, start
from screen_picture import Picture

POWERMENU = os.environ["POWERMENU"]
TOOLS = {"sway": "sway", "swaymsg": "sway", "wtype": "wtype", "grim": "grim"}

# sway refuses to run as root; the compositor, its clients and the menu then
# run as nobody, each in files that nobody owns.
AS_ROOT = os.geteuid() == 0
NOBODY = 65534
AS_USER = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if AS_ROOT else []


class MenuUnderSway(unittest.TestCase):
    def setUp(self):
        missing = sorted({package for tool, package in TOOLS.items() if not shutil.which(tool)})
        if missing:
            self.fail(f"missing Debian packages {', '.join(missing)}: tools/test.sh installs them")
        self.root = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-sway-"))
        self.theme = os.path.join(self.root, "theme")
        runtime = os.path.join(self.root, "runtime")
        os.mkdir(self.theme)
        os.mkdir(runtime, 0o700)
        make_theme(self.theme)
        # The build folder may be out of nobody's reach; a copy in the theme is not.
        self.program = shutil.copy(POWERMENU, os.path.join(self.theme, "powermenu"))
        config = os.path.join(self.root, "sway.conf")
        width, height = SCREEN_SIZE
        with open(config, "w") as out:
            out.write(f"xwayland disable\noutput HEADLESS-1 mode {width}x{height}\n")
        if AS_ROOT:
            for folder, _, files in os.walk(self.root):
                for path in [folder, *(os.path.join(folder, name) for name in files)]:
                    os.chown(path, NOBODY, NOBODY)

        self.env = {name: value for name, value in os.environ.items()
                    if name not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK")}
        self.env.update(HOME=self.root, XDG_RUNTIME_DIR=runtime, WLR_BACKENDS="headless",
                        WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        self.sway_log = open(os.path.join(self.root, "sway.log"), "w")
        self.addCleanup(self.sway_log.close)
        start(self, [*AS_USER, "sway", "--config", config], env=self.env, stdout=self.sway_log,
              stderr=subprocess.STDOUT)
        display = wait_until(lambda: self.socket(runtime, "wayland-[0-9]"), "sway's socket")
        ipc = wait_until(lambda: self.socket(runtime, "sway-ipc.*.sock"), "sway's IPC socket")
        self.env.update(WAYLAND_DISPLAY=display, SWAYSOCK=ipc)

        # The headless seat has a keyboard only while a virtual one is
        # connected; a wtype that merely sleeps keeps one there for the
        # whole test, so that each short wtype below finds the menu bound to it.
        start(self, [*AS_USER, "wtype", "-s", "600000"], env=self.env)
        wait_until(lambda: any(device["type"] == "keyboard" for device in self.swaymsg("get_inputs")),
                   "the virtual keyboard to join the seat")

    @staticmethod
    def socket(folder, pattern):
        found = [path for path in glob.glob(os.path.join(folder, pattern))
                 if not path.endswith(".lock")]
        return found[0] if found else None

    def swaymsg(self, kind):
        reply = subprocess.run([*AS_USER, "swaymsg", "--raw", "-t", kind], env=self.env,
                               capture_output=True, check=True).stdout
        return json.loads(reply)

    def screenshot(self):
        ppm = subprocess.run([*AS_USER, "grim", "-t", "ppm", "-"], env=self.env,
                             capture_output=True, check=True).stdout
        return Picture.from_ppm(ppm)

    def type(self, *args):
        subprocess.run([*AS_USER, "wtype", *args], env=self.env, check=True)

    def wait_for_focus(self, target):
        wait_until(lambda: self.screenshot().pixel(CORNER[target]) == LINE,
                   f"the focus to show on {target}")

    def menu_window(self):
        def views(node):
            yield node
            for child in node.get("nodes", []) + node.get("floating_nodes", []):
                yield from views(child)
        return next((node for node in views(self.swaymsg("get_tree"))
                     if node.get("name") == "shut_down"), None)

    def test_full_screen_window_follows_keys_and_return_runs_the_script(self):
        menu = start(self, [*AS_USER, self.program, "-platform", "wayland"], cwd=self.theme,
                     env=self.env)
        self.wait_for_focus("item1")

        window = self.menu_window()
        self.assertEqual(window["fullscreen_mode"], 1)
        width, height = SCREEN_SIZE
        self.assertEqual((window["rect"]["width"], window["rect"]["height"]), (width, height))
        screen = self.screenshot()
        self.assertEqual(screen.pixel(OUTSIDE_PICTURE), BLACK)
        self.assertEqual(screen.pixel((20, 20)), PICTURE)
        self.assertEqual(screen.pixel((219, 299)), PICTURE)
        self.assertEqual(screen.pixel((220, 300)), BLACK)

        self.type("-k", "Right")
        self.wait_for_focus("item2")
        self.type("6")
        self.wait_for_focus("item0")
        self.type("-k", "Return")
        self.assertEqual(exit_status(menu), 1)
        self.assertEqual(scripts_run(self.theme), "item0\n")


if __name__ == "__main__":
    unittest.main()
