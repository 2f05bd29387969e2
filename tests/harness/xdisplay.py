"""A private virtual X display for one test, and the X tools that act on it."""

import os
import select
import subprocess
import time

import processes
from polling import DEADLINE, wait_until
from screen_picture import Picture

# Generous: xdotool and xwd wait for the server, which shares a loaded machine.
TOOL_SECONDS = 60


class XDisplay:
    """Xvfb on a display number it picks itself (-displayfd), so tests side by side never
    collide. A context manager that stops the server."""

    def __init__(self, width, height):
        read_end, write_end = os.pipe()
        # Without -noreset the server resets when its last client leaves.
        self._server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24", "-nolisten",
             "tcp", "-noreset"], pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL, start_new_session=True)
        os.close(write_end)
        # Xvfb writes the number and the line break apart, and treats a closed pipe as fatal.
        text, deadline = b"", time.monotonic() + DEADLINE
        while not text.endswith(b"\n"):
            if time.monotonic() > deadline or self._server.poll() is not None:
                self.stop()
                raise RuntimeError(f"Xvfb did not report a display within {DEADLINE:.0f} s")
            if select.select([read_end], [], [], 0.2)[0]:
                text += os.read(read_end, 64)
        os.close(read_end)
        # What a program needs to open its window here, also when started from a Wayland session.
        self.env = processes.isolated({**os.environ, "DISPLAY": f":{int(text)}", "QT_QPA_PLATFORM": "xcb"})
        self.env.pop("WAYLAND_DISPLAY", None)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        processes.stop(self._server)
        if hasattr(self, "env"):
            processes.fail_if_left_running(self.env)

    def run(self, *args):
        """Runs an X client on this display; returns its output, fails when it fails."""
        done = subprocess.run(list(map(str, args)), env=self.env, capture_output=True, timeout=TOOL_SECONDS)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(map(str, args))} failed ({done.returncode}): {done.stderr.decode()}")
        return done.stdout

    def xdotool(self, *args):
        return self.run("xdotool", *args)

    def find_windows(self, title):
        """The ids of the mapped windows with exactly this title."""
        # xdotool search fails when it finds nothing, so its status says nothing here.
        done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                              env=self.env, capture_output=True, timeout=TOOL_SECONDS)
        return [int(window) for window in done.stdout.split()]

    def wait_for_window(self, title, ended, seconds=DEADLINE):
        """Polls until a window titled `title` is mapped, and gives it the keyboard (no window
        manager does). ended() says how the program ended, or None while it runs."""
        def mapped():
            if ended() is not None:
                raise AssertionError(f"the program ended ({ended()}) before its window \"{title}\" appeared")
            return self.find_windows(title)
        self.xdotool("windowfocus", "--sync", wait_until(mapped, f"a window titled \"{title}\"", seconds)[0])

    def keys(self, *names, delay_ms=12):
        self.xdotool("key", "--delay", delay_ms, *names)

    def pixel(self, point):
        ppm = subprocess.run("xwd -root -silent | /usr/bin/convert xwd:- ppm:-", shell=True, env=self.env,
                             capture_output=True, timeout=TOOL_SECONDS, check=True).stdout
        return Picture.from_ppm(ppm).pixel(point)
