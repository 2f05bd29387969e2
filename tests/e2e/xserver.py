"""A private virtual X display for one test, and the X tools that act on it."""

import os
import select
import shutil
import struct
import subprocess
import time

from polling import wait_until

# Generous bounds: the suite also runs under sanitizers on a loaded two-core machine.
START_SECONDS = 30
TOOL_SECONDS = 30


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
        self._xwd = xwd
        self._pixels_at = header_size + 12 * colours
        self._byte_order = "little" if byte_order == 0 else "big"
        self._masks = [(mask, (mask & -mask).bit_length() - 1) for mask in (red, green, blue)]

    def pixel(self, x, y):
        """(r, g, b) at screen (x, y)."""
        at = self._pixels_at + y * self._bytes_per_line + 4 * x
        value = int.from_bytes(self._xwd[at:at + 4], self._byte_order)
        return tuple((value & mask) >> shift for mask, shift in self._masks)

    def save_png(self, path):
        """Writes the screenshot where a person can look at it; returns the path or why not."""
        raw = path + ".xwd"
        with open(raw, "wb") as out:
            out.write(self._xwd)
        # Debian's ImageMagick by its full path: another "convert" may come first in PATH.
        done = subprocess.run(["/usr/bin/convert", "xwd:" + raw, path],
                              capture_output=True, timeout=TOOL_SECONDS)
        if done.returncode != 0:
            return f"{raw} (could not convert to PNG: {done.stderr.decode().strip()})"
        os.remove(raw)
        return path


class XServer:
    """Xvfb on a display number it picks itself, so tests running side by side never collide."""

    def __init__(self, width, height, log_path):
        require_tool("Xvfb", "xvfb")
        require_tool("xdotool", "xdotool")
        require_tool("xwd", "x11-apps")
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        with open(log_path, "wb") as log:
            self._proc = subprocess.Popen(
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

    def _read_display_number(self, read_end, log_path):
        text = b""
        deadline = time.monotonic() + START_SECONDS
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or self._proc.poll() is not None:
                raise RuntimeError(f"Xvfb did not report a display within {START_SECONDS} s; "
                                   f"its messages are in {log_path}")
            if select.select([read_end], [], [], min(left, 0.2))[0]:
                chunk = os.read(read_end, 64)
                if not chunk:
                    raise RuntimeError(f"Xvfb closed its display pipe; see {log_path}")
                text += chunk
        return int(text)

    def client_env(self):
        """The environment for a program that must open its window on this display."""
        env = dict(os.environ, DISPLAY=self.display, QT_QPA_PLATFORM="xcb")
        env.pop("WAYLAND_DISPLAY", None)
        return env

    def tool(self, *args):
        done = subprocess.run(list(args), env=self.client_env(), capture_output=True,
                              timeout=TOOL_SECONDS)
        if done.returncode != 0:
            raise RuntimeError(f"{' '.join(args)} failed ({done.returncode}): "
                               f"{done.stderr.decode().strip()}")
        return done.stdout

    def find_window(self, title):
        """The id of a mapped window with exactly this title, or None."""
        done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                              env=self.client_env(), capture_output=True, timeout=TOOL_SECONDS)
        ids = done.stdout.split()
        return int(ids[0]) if ids else None

    def focus(self, window):
        # No window manager runs here, so nobody else gives the window the keyboard.
        self.tool("xdotool", "windowfocus", "--sync", str(window))

    def keys(self, *names, delay_ms=12):
        self.tool("xdotool", "key", "--delay", str(delay_ms), *names)

    def screenshot(self):
        return Screenshot(self.tool("xwd", "-root", "-silent"))

    def stop(self):
        if self._proc.poll() is None:
            self._proc.terminate()
            try:
                self._proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()

    def wait_for_window(self, title, process):
        """Polls until `process` has mapped a window titled `title`."""
        found = []

        def mapped():
            if process.poll() is not None:
                raise AssertionError(f"the program ended (status {process.returncode}) "
                                     f"before its window \"{title}\" appeared")
            window = self.find_window(title)
            if window is not None:
                found.append(window)
            return window is not None

        wait_until(mapped, START_SECONDS, f"a window titled \"{title}\" on {self.display}")
        return found[0]
