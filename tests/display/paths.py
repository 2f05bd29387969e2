"""Every way the menu reaches a screen, behind one interface: start the menu, read a pixel,
press keys, tap. A display path is a row of ROWS, not a file of its own."""

import glob
import json
import os
import re
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

import processes
from polling import wait_until
from rfb_client import RfbClient
from screen_picture import Picture
from xdisplay import TOOL_SECONDS, XDisplay

# sway refuses to run as root; the compositor, its clients and the menu then run as nobody.
AS_USER = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if os.geteuid() == 0 else []


@dataclass
class Row:
    name: str
    path: str                                  # "x11", "wayland", "wayland-touch" or "vnc"
    size: tuple = (240, 320)
    menu_env: dict = field(default_factory=dict)  # for the menu alone, e.g. QT_SCALE_FACTOR
    xresources: str = ""                       # loaded with xrdb before the menu starts
    sway_output: str = ""                      # e.g. "scale 3"
    # Two outputs side by side, each HEAD wide, with a window manager (X11), and a window
    # behind on the second output that logs what reaches it.
    two_heads: bool = False


HEAD = (800, 600)
ROWS = [Row("x11", "x11"), Row("wayland", "wayland"), Row("wayland-touch", "wayland-touch"), Row("vnc", "vnc"),
        Row("x11.seat", "x11", size=(2 * HEAD[0], HEAD[1]), two_heads=True),
        Row("wayland.seat", "wayland", size=HEAD, two_heads=True)]


class DisplayPath:
    """What every display path shares; start() keeps in self.launch how it started the menu."""

    def second_press(self):
        """The menu started again as the power key's binding does: (status, standard error)."""
        done = subprocess.run(**self.launch, capture_output=True, timeout=TOOL_SECONDS)
        return done.returncode, done.stderr.decode()


class X11(DisplayPath):
    """Xvfb, keys and taps from xdotool, screenshots from xwd."""
    taps = True

    def __init__(self, test, row):
        self.x, self.size = test.enterContext(XDisplay(*row.size)), row.size
        if row.xresources:
            subprocess.run(["xrdb", "-merge"], input=row.xresources.encode(), env=self.x.env, check=True)
        self.env = self.x.env
        if row.two_heads:
            # Qt sees two RandR monitors as two screens, as on a dual-monitor Xorg.
            w, h = HEAD
            self.x.run("xrandr", "--setmonitor", "A", f"{w}/200x{h}/150+0+0", "screen")
            self.x.run("xrandr", "--setmonitor", "B", f"{w}/200x{h}/150+{w}+0", "none")
            self.size = HEAD
            # openbox, unlike metacity, lets a click on another window take the focus from a grab's owner.
            processes.start(test, ["openbox", "--sm-disable"], env=self.env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
            wait_until(lambda: subprocess.run(["xdotool", "get_num_desktops"], env=self.env,
                                              capture_output=True).stdout.strip() not in (b"", b"0"),
                       "the window manager")

    def start(self, test, program, theme, env, *args):
        self.launch = dict(args=[program, "-platform", "xcb", *args], cwd=theme, env={**self.env, **env})
        menu = processes.start(test, **self.launch)
        self.x.wait_for_window("shut_down", lambda: menu.poll())
        # Without a window manager the window covers the screen only if the menu asks for it.
        geometry = self.x.xdotool("getwindowgeometry", "--shell", self.x.find_windows("shut_down")[0]).decode()
        test.assertIn(f"WIDTH={self.size[0]}\nHEIGHT={self.size[1]}", geometry)
        return menu

    def window_on_the_other_head(self, test, log):
        """A window on the second head that logs every event it gets (xev)."""
        behind = processes.start(test, ["xev", "-name", "behind", "-geometry", f"{HEAD[0]}x{HEAD[1]}+{HEAD[0]}+0"],
                                 env=self.env, stdout=log)
        self.x.wait_for_window("behind", lambda: behind.poll())

    def reach_for_the_other_head(self):
        self.x.xdotool("mousemove", HEAD[0] + HEAD[0] // 2, HEAD[1] // 2, "click", "1")

    def switch_workspace(self, back=False):
        self.x.xdotool("set_desktop", "0" if back else "1")

    def focus_behind(self):
        self.x.xdotool("windowfocus", "--sync", self.x.find_windows("behind")[0])

    def pixel(self, point):
        return self.x.pixel(point)

    def keys(self, *names, delay_ms=12):
        self.x.keys(*names, delay_ms=delay_ms)

    def tap(self, down, up):
        self.x.xdotool("mousemove", *down, "mousedown", "1", "mousemove", *up, "mouseup", "1")

    def hold(self, name, seconds):
        self.x.xdotool("keydown", name)
        time.sleep(seconds)
        self.x.xdotool("keyup", name)

    def window_behind(self, test, log):
        """A window under the menu that logs every key it gets. With no window manager the focus
        falls back to the window under the pointer once the menu has gone."""
        processes.start(test, ["stdbuf", "-oL", "xev", "-event", "keyboard", "-geometry", "240x320+0+0"],
                        env=self.env, stdout=log)
        self.x.wait_for_window("Event Tester", lambda: None)
        self.x.xdotool("mousemove", 120, 160)
        return lambda: re.findall(r"\(keysym 0x[0-9a-f]+, (\w+)\)", Path(log.name).read_text())

    def focus_elsewhere(self, test):
        """Another window takes the focus, as a window manager that prevents focus stealing leaves it."""
        other = processes.start(test, ["xmessage", "the window behind"], env=self.env)
        self.x.wait_for_window("xmessage", lambda: other.poll())


class Wayland(DisplayPath):
    """sway's headless back end, keys from wtype, screenshots from grim."""
    taps = False

    def __init__(self, test, row):
        root = test.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-sway-"))
        runtime = os.path.join(root, "runtime")
        os.mkdir(runtime, 0o700)
        config = os.path.join(root, "sway.conf")
        with open(config, "w") as out:
            out.write(f"xwayland disable\noutput HEADLESS-1 mode {row.size[0]}x{row.size[1]} {row.sway_output}\n")
            if row.two_heads:
                out.write("output HEADLESS-1 position 0 0\n" + "".join(
                    f"output HEADLESS-{n} mode {row.size[0]}x{row.size[1]} position {(n - 1) * row.size[0]} 0\n"
                    for n in (2, 3)))
        if AS_USER:
            shutil.chown(root, "nobody")
            for path in (runtime, config):
                shutil.chown(path, "nobody")
        self.env = processes.isolated_for(test, {k: v for k, v in os.environ.items()
                                            if k not in ("DISPLAY", "WAYLAND_DISPLAY", "SWAYSOCK")})
        self.env.update(HOME=root, XDG_RUNTIME_DIR=runtime, WLR_BACKENDS="headless",
                        WLR_LIBINPUT_NO_DEVICES="1", WLR_RENDERER="pixman")
        log = test.enterContext(open(os.path.join(root, "sway.log"), "w"))
        processes.start(test, [*AS_USER, "sway", "--config", config], env=self.env, stdout=log,
                        stderr=subprocess.STDOUT)
        socket = lambda pattern: [p for p in glob.glob(os.path.join(runtime, pattern)) if not p.endswith(".lock")]
        self.env["WAYLAND_DISPLAY"] = wait_until(lambda: socket("wayland-[0-9]"), "sway's socket")[0]
        self.env["SWAYSOCK"] = wait_until(lambda: socket("sway-ipc.*.sock"), "sway's IPC socket")[0]
        # The headless seat has a keyboard only while a virtual one is connected.
        processes.start(test, [*AS_USER, "wtype", "-s", "600000"], env=self.env)
        wait_until(lambda: any(d["type"] == "keyboard" for d in self.swaymsg("get_inputs")),
                   "the virtual keyboard to join the seat")
        if row.two_heads:
            self.sway("create_output")
            wait_until(lambda: len(self.swaymsg("get_outputs")) == 2, "the second output")
            self.sway("focus output HEADLESS-1")

    def sway(self, command):
        subprocess.run([*AS_USER, "swaymsg", command], env=self.env, capture_output=True, check=True)

    def window_on_the_other_head(self, test, log):
        """A window on the second output that logs every event it gets (wev)."""
        self.sway("focus output HEADLESS-2")
        behind = processes.start(test, [*AS_USER, "wev"], env=self.env, stdout=log)
        wait_until(lambda: behind.poll() is None and (w := self.window("wev")) and w["focused"], "wev's window")
        self.sway("focus output HEADLESS-1")

    def reach_for_the_other_head(self):
        self.sway("focus output right")

    def plug_in_output(self):
        """A third output, plugged in while the menu is open: a point on it. Its empty workspace
        would be as black as a shield, so this waits for a full-screen window there too."""
        self.sway("create_output")
        if self.overlay:
            # An overlay shield is out of sway's tree; sway 1.10 shows an empty workspace grey.
            wait_until(lambda: len(self.swaymsg("get_outputs")) == 3, "the third output")
            return (2 * HEAD[0] + 100, 100)
        wait_until(lambda: any(n["name"] == "HEADLESS-3" and any(w.get("fullscreen_mode") for ws in n["nodes"]
                                                                  for w in ws["nodes"])
                               for n in self.swaymsg("get_tree")["nodes"]), "a full-screen window on HEADLESS-3")
        return (2 * HEAD[0] + 100, 100)

    def switch_workspace(self):
        self.sway("workspace 3")

    def swaymsg(self, kind):
        return json.loads(subprocess.run([*AS_USER, "swaymsg", "--raw", "-t", kind], env=self.env,
                                         capture_output=True, check=True).stdout)

    def start(self, test, program, theme, env, *args):
        # The build folder may be out of nobody's reach; a copy in the theme is not.
        copy = shutil.copy(program, os.path.join(theme, "powermenu"))
        if AS_USER:
            os.chmod(os.path.dirname(theme), 0o755)
            for path in [theme, *(os.path.join(theme, name) for name in os.listdir(theme))]:
                shutil.chown(path, "nobody", "nogroup")
        self.launch = dict(args=[*AS_USER, copy, "-platform", "wayland", *args], cwd=theme, env={**self.env, **env})
        # A build with Qt's layer-shell library puts the menu in sway's overlay layer, out of its
        # tree; sway gives the layer's keyboard to the menu with its first frame.
        with open(program, "rb") as binary:
            self.overlay = b"libLayerShellQtInterface" in binary.read()
        menu = processes.start(test, **self.launch)
        if not self.overlay:
            test.assertEqual(self.menu_focused()["fullscreen_mode"], 1, "sway shows the menu full screen")
        return menu

    def menu_focused(self):
        if self.overlay:
            return None
        # Keys go to the focused window: a first frame can be on screen before sway gives the focus.
        return wait_until(lambda: (w := self.window("shut_down")) and w["focused"] and w,
                          "the menu's window focused in sway's tree")

    def second_press(self):
        said = super().second_press()
        # The menu comes back as a window mapped afresh, which sway focuses once it is on screen.
        self.menu_focused()
        return said

    def window(self, title):
        nodes = [self.swaymsg("get_tree")]
        while nodes:
            node = nodes.pop()
            if node.get("name") == title:
                return node
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return None

    def pixel(self, point):
        ppm = subprocess.run([*AS_USER, "grim", "-t", "ppm", "-"], env=self.env, capture_output=True,
                             check=True).stdout
        return Picture.from_ppm(ppm).pixel(point)

    def keys(self, *names, delay_ms=None):
        """One wtype call for the lot when delay_ms is given, one each otherwise."""
        if delay_ms is None:
            for name in names:
                subprocess.run([*AS_USER, "wtype", "-k", name], env=self.env, check=True)
            return
        pause = ["-s", str(delay_ms)] if delay_ms else []
        subprocess.run([*AS_USER, "wtype", *(arg for name in names for arg in ["-k", name, *pause])], env=self.env,
                       check=True)

    def hold(self, name, seconds):
        subprocess.run([*AS_USER, "wtype", "-P", name, "-s", str(int(seconds * 1000)), "-p", name], env=self.env,
                       check=True)

    def window_behind(self, test, log):
        """A window under the menu that logs every key it gets; sway gives it the focus back."""
        processes.start(test, [*AS_USER, "stdbuf", "-oL", "wev"], env=self.env, stdout=log)
        wait_until(lambda: (w := self.window("wev")) and w["focused"], "wev focused in sway's tree")
        return lambda: re.findall(r"^\s+sym: (\w+)", Path(log.name).read_text(), re.M)


class WaylandTouch(DisplayPath):
    """The tests' own compositor (touch_compositor.cpp, on Qt's compositor library), whose seat
    has a touch screen: real wl_touch down, motion, up, frame and cancel, keys from its keyboard,
    pixels from the menu's last frame."""
    taps = True

    def __init__(self, test, row):
        program = os.environ.get("TOUCH_COMPOSITOR")
        if not program:
            test.skipTest("no touch compositor was built (qt6-wayland-dev)")
        self.size = row.size
        root = test.enterContext(tempfile.TemporaryDirectory(prefix="powermenu-touch-"))
        self.env = processes.isolated_for(test, {k: v for k, v in os.environ.items()
                                            if k not in ("DISPLAY", "WAYLAND_DISPLAY", "TOUCH_COMPOSITOR")})
        self.env["XDG_RUNTIME_DIR"] = root
        self.compositor = processes.start(test, [program, "x".join(map(str, row.size))],
                                          env={**self.env, "TOUCH_COMPOSITOR_SOCKET": "wayland-touch"},
                                          stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        for pipe in (self.compositor.stdin, self.compositor.stdout):
            test.addCleanup(pipe.close)
        self.env["WAYLAND_DISPLAY"] = self.compositor.stdout.readline().strip()
        test.assertTrue(self.env["WAYLAND_DISPLAY"], "the touch compositor's socket")

    def ask(self, *words):
        self.compositor.stdin.write(" ".join(map(str, words)) + "\n")
        self.compositor.stdin.flush()
        return self.compositor.stdout.readline().strip()

    def start(self, test, program, theme, env, *args):
        self.launch = dict(args=[program, "-platform", "wayland", *args], cwd=theme, env={**self.env, **env})
        menu = processes.start(test, **self.launch)
        shown = wait_until(lambda: menu.poll() is None and (w := self.ask("window")) != "none" and w,
                           "the menu's first frame")
        test.assertEqual(shown, "x".join(map(str, self.size)), "the menu's frame covers the screen")
        return menu

    def pixel(self, point):
        return tuple(map(int, self.ask("pixel", *point).split()))

    def keys(self, *names, delay_ms=None):
        """A burst goes as fast as the compositor answers: one key per round trip."""
        for name in names:
            self.ask("key", name)

    def touch(self, *steps):
        """Each step a frame: ("down", finger, point), ("move", finger, point), ("up", finger)
        or ("cancel",), the compositor taking the touch back."""
        for verb, *rest in steps:
            words = [verb, *rest[:1], *(rest[1] if len(rest) > 1 else ())]
            self.ask(*words)
            if verb != "cancel":
                self.ask("frame")

    def tap(self, down, up):
        self.touch(("down", 0, down), ("move", 0, up), ("up", 0))


class Vnc(DisplayPath):
    """Qt's VNC platform (the framebuffer back end served over RFB) and the tests' own client."""
    taps = True

    def __init__(self, test, row):
        self.test, self.row = test, row

    def start(self, test, program, theme, env, *args):
        size = "x".join(map(str, self.row.size))
        self.launch = dict(args=[program, "-platform", f"vnc:size={size}:port=0", *args], cwd=theme,
                           env=processes.isolated_for(test, {**os.environ, **env}))
        menu = processes.start(test, **self.launch)
        port = wait_until(lambda: menu.poll() is None and listening_port(menu.pid), "the VNC server to listen")
        self.client = RfbClient(port)
        test.addCleanup(self.client.close)
        return menu

    def pixel(self, point):
        self.client.update()
        return self.client.picture().pixel(point)

    def keys(self, *names, delay_ms=0):
        for name in names:
            self.client.key(name)
            time.sleep(delay_ms / 1000)

    def tap(self, down, up):
        self.client.pointer(down, True)
        self.client.pointer(up, True)
        self.client.pointer(up, False)


def listening_port(pid):
    """The TCP port pid listens on: with port=0 the VNC platform takes a free one and does not say which."""
    sockets = set()
    for fd in os.listdir(f"/proc/{pid}/fd"):
        try:
            sockets.add(os.readlink(f"/proc/{pid}/fd/{fd}")[8:-1])
        except OSError:
            pass
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as lines:
            for fields in (line.split() for line in list(lines)[1:]):
                if fields[3] == "0A" and fields[9] in sockets:
                    return int(fields[1].rsplit(":", 1)[1], 16)
    return None


PATHS = {"x11": X11, "wayland": Wayland, "wayland-touch": WaylandTouch, "vnc": Vnc}
