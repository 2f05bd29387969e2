#!/usr/bin/python3
"""The menu as a screen reader meets it: through AT-SPI, on a private session bus with its own
accessibility bus and registry, under Xvfb, with the screen reader's switch on as Orca sets it.

Usage: screen_reader.py PATH/TO/powermenu   (Debian's python3, with python3-pyatspi)"""

import os
import subprocess
import sys
import tempfile
import unittest

sys.path[:0] = [os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness")]

import menu_theme as theme  # noqa: E402
import processes  # noqa: E402
from polling import wait_until  # noqa: E402
from xdisplay import XDisplay  # noqa: E402

PROGRAM = None
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
NAMES = ["Flash", "Power off", "Restart", "Cancel"]


def extents(x, y, width, height):
    c = theme.CONF
    return (c["start_x"] + c[x], c["start_y"] + c[y], c[width], c[height])


TARGETS = [extents("reflash_x", "icon0_y", "width0", "height0"), extents("shut_x", "icon0_y", "width0", "height0"),
           extents("reboot_x", "icon0_y", "width0", "height0"), extents("cancel_x", "icon1_y", "width1", "height1")]


class ScreenReader(unittest.TestCase):
    def setUp(self):
        self.display = XDisplay(*theme.SCREEN_SIZE)
        self.addCleanup(self.display.stop)
        self.env = dict(self.display.env)
        bus = processes.start(self, ["dbus-daemon", "--session", "--nofork", "--print-address=1"], env=self.env,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(bus.stdout.close)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        processes.start(self, [BUS_LAUNCHER, "--launch-immediately"], env=self.env, stderr=subprocess.DEVNULL)
        # libatspi finds the accessibility bus through these, once, when it is first imported.
        os.environ.update(DISPLAY=self.env["DISPLAY"], DBUS_SESSION_BUS_ADDRESS=self.env["DBUS_SESSION_BUS_ADDRESS"])
        from gi.repository import Gio, GLib
        self.GLib = GLib
        session = Gio.DBusConnection.new_for_address_sync(
            self.env["DBUS_SESSION_BUS_ADDRESS"],
            Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
        self.addCleanup(session.close_sync)

        def screen_reader_on():
            try:
                session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set",
                                  GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled",
                                                         GLib.Variant("b", True))),
                                  None, Gio.DBusCallFlags.NONE, 5000)
                return True
            except GLib.Error:
                return False
        wait_until(screen_reader_on, "the accessibility bus launcher on the session bus")
        self.theme = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-a11y-"))
        theme.make_theme(self.theme, hold=True)

    def pump(self):
        """Hands the events that arrived to the listener."""
        while self.GLib.MainContext.default().iteration(False):
            pass

    def test_four_named_buttons_and_the_focus_following_keys_and_a_finger_then_the_power_off_screen(self):
        import pyatspi
        focused = []

        def on_focus(event):
            if event.detail1:
                focused.append((event.source.getRoleName(), event.source.name))
        pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
        self.addCleanup(pyatspi.Registry.deregisterEventListener, on_focus, "object:state-changed:focused")
        menu = processes.start(self, [PROGRAM], cwd=self.theme, env=self.env)

        def dialog():
            self.pump()
            if menu.poll() is not None:
                raise AssertionError(f"the menu ended (status {menu.returncode}) before a screen reader found it")
            for app in pyatspi.Registry.getDesktop(0):
                for window in app or []:
                    if window and window.getRole() == pyatspi.ROLE_DIALOG and window.name == "Power menu":
                        return window
        window = wait_until(dialog, "a dialog named \"Power menu\" on the accessibility bus")
        buttons = list(window)
        self.assertEqual([(b.getRole(), b.name) for b in buttons], [(pyatspi.ROLE_PUSH_BUTTON, n) for n in NAMES])
        self.assertTrue(all(b.getState().contains(pyatspi.STATE_FOCUSABLE) for b in buttons))
        self.assertEqual([tuple(b.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)) for b in buttons], TARGETS)

        def focus_on(role, name):
            def there():
                self.pump()
                return focused and focused[-1] == (role, name)
            wait_until(there, f"the focus on the {role} \"{name}\"", last_seen=lambda: focused)
            if role == "push button":
                states = [b.getState().contains(pyatspi.STATE_FOCUSED) for b in buttons]
                self.assertEqual(states, [n == name for n in NAMES], f"focused states with {name} focused")
        # Told before any key, although the bridge reached the bus only after the window showed.
        focus_on("push button", "Power off")
        self.display.wait_for_window("shut_down", menu.poll)
        for key, name in [("Right", "Restart"), ("Down", "Cancel"), ("Up", "Restart")]:
            self.display.keys(key)
            focus_on("push button", name)
        # A finger that slides off its item focuses it without confirming.
        self.display.xdotool("mousemove", *theme.TAP["item0"], "mousedown", "1", "mousemove", *theme.GAP, "mouseup", "1")
        focus_on("push button", "Flash")
        self.display.keys("Return")
        focus_on("dialog", "Flash: please wait")
        open(os.path.join(self.theme, "go"), "w").close()
        self.assertEqual(processes.exit_status(menu), 1)
        self.assertEqual(theme.scripts_run(self.theme), "item0\n")


if __name__ == "__main__":
    PROGRAM = sys.argv.pop(1)
    unittest.main()
