"""A private virtual X display for one test, and the X tools that act on it."""

import os
import select
import shutil
import struct
import subprocess
import time

import processes
from polling import DEADLINE, wait_until

# Generous: xdotool and xwd wait for the server, which shares a loaded machine.
TOOL_SECONDS = 60


def require_tool(name, package):
    if shutil.which(name) is None:
        raise RuntimeError(f"{name} is not installed; install the Debian package {package} "
                           "(tools/ensure-deps.sh lists it)")


class Screenshot:
    """The root window as xwd wrote it; pixels are decoded only where a test looks."""

    def __init__(self, xwd):
        fields = struct.unpack(">25I", xwd[:100])
        (header_size, _version, _format, _depth, self.width, self.height, _xoffset,
         byte_order, _unit, _bit_order, _pad, bits_per_pixel, self._bytes_per_line,
         _visual, red, green, blue, _bits_per_rgb, _entries, colours) = fields[:20]
        if bits_per_pixel != 32:
            raise ValueError(f"screenshot has {bits_per_pixel} bits per pixel; expected 32")
        self.xwd = xwd
        self._pixels_at = header_size + 12 * colours
        self._byte_order = "little" if byte_order == 0 else "big"
        self._masks = [(mask, (mask & -mask).bit_length() - 1) for mask in (red, green, blue)]

    def pixel(self, x, y):
        """(r, g, b) at screen (x, y)."""
        at = self._pixels_at + y * self._bytes_per_line + 4 * x
        value = int.from_bytes(self.xwd[at:at + 4], self._byte_order)
        return tuple((value & mask) >> shift for mask, shift in self._masks)

    def save_png(self, path):
        """Writes the screenshot where a person can look at it; returns the path or why not."""
        raw = path + ".xwd"
        with open(raw, "wb") as out:
            out.write(self.xwd)
        # Debian's ImageMagick by its full path: another "convert" may come first in PATH.
        done = subprocess.run(["/usr/bin/convert", "xwd:" + raw, path],
                              capture_output=True, timeout=TOOL_SECONDS)
        if done.returncode != 0:
            return f"{raw} (could not convert to PNG: {done.stderr.decode().strip()})"
        os.remove(raw)
        return path


class XDisplay:
    """Xvfb on a display number it picks itself, so tests running side by side never collide.
    Also a context manager that stops the server."""

    def __init__(self, width, height, log_path=os.devnull):
        require_tool("Xvfb", "xvfb")
        require_tool("xdotool", "xdotool")
        require_tool("xwd", "x11-apps")
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        with open(log_path, "wb") as log:
            # Without -noreset the server resets when its last client leaves, which a
            # screenshot taken before the menu has connected would cause.
            self._server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                start_new_session=True)
        os.close(write_end)
        try:
            number = self._read_display_number(read_end, log_path)
        except BaseException:
            self.stop()
            raise
        finally:
            os.close(read_end)
        self.display = f":{number}"
        # What a program needs to open its window here, also when started from a Wayland session.
        self.env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)

    def _read_display_number(self, read_end, log_path):
        # Xvfb writes the number and the line break apart, and treats a closed
        # pipe as fatal: read the whole line before closing.
        text = b""
        deadline = time.monotonic() + DEADLINE
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or self._server.poll() is not None:
                raise RuntimeError(f"Xvfb did not report a display within {DEADLINE:.0f} s; "
                                   f"its messages are in {log_path}")
            if select.select([read_end], [], [], min(left, 0.2))[0]:
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise RuntimeError(f"Xvfb closed its display pipe; see {log_path}")
                text += chunk
        return int(text)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        processes.stop(self._server)

    def run(self, *args):
        """Runs an X client on this display; returns its output, fails when it fails."""
        done = subprocess.run(list(args), env=self.env, capture_output=True,
                              timeout=TOOL_SECONDS)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(args)} failed ({done.returncode}): "
                               f"{done.stderr.decode().strip()}")
        return done.stdout

    def xdotool(self, *args):
        return self.run("xdotool", *map(str, args))

    def find_windows(self, title):
        """The ids of the mapped windows with exactly this title."""
        # xdotool search fails when it finds nothing, so its status says nothing here.
        done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                              env=self.env, capture_output=True, timeout=TOOL_SECONDS)
        return [int(window) for window in done.stdout.split()]

    def wait_for_window(self, title, ended, seconds=DEADLINE):
        """Polls until a window titled `title` is mapped, and gives it the keyboard.
        ended() says how the program ended, or None while it runs: then waiting is over."""
        def mapped():
            how = ended()
            if how is not None:
                raise AssertionError(f"the program ended ({how}) "
                                     f"before its window \"{title}\" appeared")
            return self.find_windows(title)

        window = wait_until(mapped, f"a window titled \"{title}\" on {self.display}", seconds)[0]
        self.focus(window)
        return window

    def focus(self, window):
        # No window manager runs here, so nobody else gives the window the keyboard.
        self.xdotool("windowfocus", "--sync", window)

    def keys(self, *names, delay_ms=12):
        self.xdotool("key", "--delay", delay_ms, *names)

    def screenshot(self):
        return Screenshot(self.run("xwd", "-root", "-silent"))
