#!/usr/bin/python3
"""The menu as a screen reader meets it, through AT-SPI: a private session bus with at-spi2-core's
own accessibility bus and registry, the screen reader's switch turned on as Orca turns it on.

Usage: screen_reader.py PATH/TO/powermenu ROW   (rows x11 and wayland; see paths.ROWS)
       screen_reader.py --listen                 (the screen reader's side, which the test starts)
Both need Debian's python3, with python3-pyatspi."""

import json
import os
import queue
import subprocess
import sys
import tempfile
import threading
import time
import unittest

sys.path[:0] = [os.path.dirname(os.path.abspath(__file__)), os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness")]

import menu_theme as theme  # noqa: E402
import paths  # noqa: E402
import processes  # noqa: E402
from polling import DEADLINE  # noqa: E402

PROGRAM = ROW = None
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
NAMES = ["Flash", "Power off", "Restart", "Cancel"]


# Where each is drawn on the screen: x, y, width, height.
TARGETS = [[*theme.CORNER[target], theme.CONF[f"width{row}"], theme.CONF[f"height{row}"]]
           for target, row in [("item0", 0), ("item1", 0), ("item2", 0), ("cancel", 1)]]


def listen():
    """Turns the screen reader's switch on, then writes a JSON line for each focus it is told of,
    and the menu's tree for each line "tree" it reads."""
    from gi.repository import Gio, GLib
    session = Gio.bus_get_sync(Gio.BusType.SESSION)
    enable = GLib.Variant("(ssv)", ("org.a11y.Status", "ScreenReaderEnabled", GLib.Variant("b", True)))
    end = time.monotonic() + DEADLINE
    while True:
        try:
            session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set", enable,
                              None, Gio.DBusCallFlags.NONE, 5000)
            break
        except GLib.Error:
            if time.monotonic() > end:
                raise
            time.sleep(0.05)
    import pyatspi

    def say(**message):
        print(json.dumps(message), flush=True)

    # Newer at-spi2-core (Debian 13) names the push button role "button".
    def role_of(thing):
        return "push button" if thing.getRole() == pyatspi.ROLE_PUSH_BUTTON else thing.getRoleName()

    def on_focus(event):
        if event.detail1:
            say(focus=[role_of(event.source), event.source.name])

    def tree():
        for app in pyatspi.Registry.getDesktop(0):
            for window in app or []:
                if window and window.getRole() == pyatspi.ROLE_DIALOG:
                    return {"name": window.name, "buttons": [
                        {"role": role_of(b), "name": b.name,
                         "focusable": b.getState().contains(pyatspi.STATE_FOCUSABLE),
                         "focused": b.getState().contains(pyatspi.STATE_FOCUSED),
                         "extents": list(b.queryComponent().getExtents(pyatspi.DESKTOP_COORDS))} for b in window]}
        return None

    def on_line(channel, condition):
        line = sys.stdin.readline()
        if not line:
            loop.quit()
            return False
        say(tree=tree())
        return True
    def on_announcement(event):
        say(focus=["announcement", str(event.any_data)])

    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    pyatspi.Registry.registerEventListener(on_announcement, "object:announcement")
    loop = GLib.MainLoop()
    GLib.io_add_watch(sys.stdin.fileno(), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_line)
    say(ready=True)
    loop.run()


class ScreenReader(unittest.TestCase):
    def setUp(self):
        self.path = paths.PATHS[ROW.path](self, ROW)
        # sway's clients run as nobody when the test runs as root, and a session bus serves its own user.
        user = paths.AS_USER if ROW.path == "wayland" else []
        self.env = dict(self.path.env)
        bus = processes.start(self, [*user, "dbus-daemon", "--session", "--nofork", "--print-address=1"],
                              env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.addCleanup(bus.stdout.close)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        processes.start(self, [*user, BUS_LAUNCHER, "--launch-immediately"], env=self.env, stderr=subprocess.DEVNULL)
        self.reader = processes.start(self, [*user, "/usr/bin/python3", "-B", os.path.abspath(__file__), "--listen"],
                                      env=self.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(self.reader.stdout.close)
        self.addCleanup(self.reader.stdin.close)
        self.messages = queue.Queue()
        threading.Thread(target=lambda: [self.messages.put(json.loads(line)) for line in self.reader.stdout],
                         daemon=True).start()
        self.focused = []
        self.next_message("ready", "the screen reader's side to start")
        folder = self.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-a11y-"))
        self.theme = os.path.join(folder, "theme")
        os.mkdir(self.theme)
        theme.make_theme(self.theme, hold=True)

    def next_message(self, kind, what):
        """The next message of this kind; the focus messages on the way are kept in self.focused."""
        end = time.monotonic() + DEADLINE
        while True:
            try:
                message = self.messages.get(timeout=max(0, end - time.monotonic()))
            except queue.Empty:
                raise AssertionError(f"gave up after {DEADLINE:.0f} s waiting for {what}; "
                                     f"focus told so far: {self.focused}") from None
            if "focus" in message:
                self.focused.append(tuple(message["focus"]))
            if kind in message:
                return message[kind]

    def tree(self):
        self.reader.stdin.write("tree\n")
        self.reader.stdin.flush()
        return self.next_message("tree", "the menu's tree")

    def focus_on(self, role, name, *or_roles):
        while not (self.focused and self.focused[-1] in [(r, name) for r in (role, *or_roles)]):
            self.next_message("focus", f"the focus on the {role} \"{name}\"")
        if role == "push button":
            self.assertEqual([b["focused"] for b in self.tree()["buttons"]], [n == name for n in NAMES],
                             f"focused states with {name} focused")

    def test_four_named_buttons_and_the_focus_following_keys_and_a_finger_then_the_power_off_screen(self):
        menu = self.path.start(self, PROGRAM, self.theme, {"DBUS_SESSION_BUS_ADDRESS": self.env["DBUS_SESSION_BUS_ADDRESS"]})
        # Told before any key, although the bridge reached the bus only after the window showed.
        self.focus_on("push button", "Power off")
        tree = self.tree()
        self.assertEqual(tree["name"], "Power menu")
        self.assertEqual([(b["role"], b["name"], b["focusable"]) for b in tree["buttons"]],
                         [("push button", name, True) for name in NAMES])
        self.assertEqual([b["extents"] for b in tree["buttons"]], TARGETS)
        for key, name in [("Right", "Restart"), ("Down", "Cancel"), ("Up", "Restart")]:
            self.path.keys(key)
            self.focus_on("push button", name)
        item, script = "Restart", "item2\n"
        if self.path.taps:
            # A finger that slides off its item focuses it without confirming.
            self.path.tap(theme.TAP["item0"], theme.GAP)
            item, script = "Flash", "item0\n"
            self.focus_on("push button", item)
        self.path.keys("Return")
        # Qt 6.8 says it as an announcement; before, the dialog takes the focus under its new name.
        self.focus_on("dialog", f"{item}: please wait", "announcement")
        open(os.path.join(self.theme, "go"), "w").close()
        self.assertEqual(processes.exit_status(menu), 1)
        self.assertEqual(theme.scripts_run(self.theme), script)


if __name__ == "__main__":
    if sys.argv[1:] == ["--listen"]:
        listen()
    else:
        PROGRAM, ROW = sys.argv[1], next(row for row in paths.ROWS if row.name == sys.argv[2])
        unittest.main(argv=sys.argv[:1])
