"""A private X server and menu processes for the reliability tests.

Every process started here belongs to a context manager that stops it,
also when a test fails half-way. Waits poll for a condition up to a
generous deadline: the tests share a small machine with other builds.
"""

import os
import select
import signal
import struct
import subprocess
import time


class Failure(Exception):
    pass


def wait_for(condition, seconds, what):
    """Polls condition() until it returns something true; fails after seconds."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"{what}: not within {seconds} s")
        time.sleep(0.02)


class XServer:
    """Xvfb on a display number of its own choosing, with xdotool and screenshots."""

    def __init__(self, width=240, height=320):
        self.size = (width, height)
        self.proc = None
        self.env = None

    def __enter__(self):
        read_end, write_end = os.pipe()
        width, height = self.size
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # Xvfb writes the number and the line break apart, and treats a
        # closed pipe as fatal: read the whole line before closing.
        reply = b""
        deadline = time.monotonic() + 30
        try:
            while not reply.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([read_end], [], [], 1)
                if ready:
                    chunk = os.read(read_end, 32)
                    if not chunk:
                        break
                    reply += chunk
        finally:
            os.close(read_end)
        number = reply.decode().strip()
        if not number:
            self.__exit__(None, None, None)
            raise Failure("Xvfb did not report a display number within 30 s")
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        self.env["DISPLAY"] = ":" + number
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        try:
            self.proc.wait(10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.env, timeout=120,
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)

    def menu_windows(self):
        """Ids of the mapped windows titled like the menu's."""
        found = self.xdotool("search", "--onlyvisible", "--name", "^shut_down$")
        return found.stdout.split()

    def keys(self, names, delay_ms=0):
        self.xdotool("key", "--delay", str(delay_ms), *names)

    def hold_key(self, name, seconds):
        """Holds a key down, so that the server's auto-repeat floods the menu."""
        self.xdotool("keydown", name)
        try:
            time.sleep(seconds)
        finally:
            self.xdotool("keyup", name)

    def screenshot(self):
        shot = subprocess.run(["xwd", "-root", "-silent"], env=self.env, timeout=60,
                              stdout=subprocess.PIPE, check=True).stdout
        return Screenshot(shot)


class Screenshot:
    """The root window as xwd writes it: a big-endian header, a colour map, then pixels."""

    def __init__(self, data):
        fields = struct.unpack(">25I", data[:100])
        header_size, byte_order = fields[0], fields[7]
        self.width, self.height = fields[4], fields[5]
        self.bits_per_pixel, self.bytes_per_line = fields[11], fields[12]
        self.masks = fields[14:17]
        self.byte_order = "little" if byte_order == 0 else "big"
        self.pixels = data[header_size + 12 * fields[19]:]

    def rgb(self, x, y):
        step = self.bits_per_pixel // 8
        start = y * self.bytes_per_line + x * step
        value = int.from_bytes(self.pixels[start:start + step], self.byte_order)
        return tuple((value & mask) >> ((mask & -mask).bit_length() - 1) for mask in self.masks)


class Menu:
    """One powermenu process in a theme folder, stopped with its scripts on exit."""

    def __init__(self, xserver, command, theme, closed_output=False):
        """command: the program's path, or a list that runs it under another program.
        closed_output: standard output and error are a pipe that nobody reads any more."""
        self.xserver = xserver
        self.closed_output = closed_output
        self.command = [command] if isinstance(command, str) else list(command)
        self.theme = theme
        self.proc = None
        self.status = None
        self.rusage = None
        self.started = None

    def __enter__(self):
        self.output = open(self.theme / "menu-output.txt", "wb")
        output, env = self.output.fileno(), self.xserver.env
        if self.closed_output:
            unread, output = os.pipe()
            os.close(unread)
            # Without it Qt has a warning to write, so the pipe is written to for sure.
            env = {k: v for k, v in env.items() if k != "XDG_RUNTIME_DIR"}
        self.started = time.monotonic()
        # A session of its own, so that cleaning up reaches the item scripts too.
        try:
            self.proc = subprocess.Popen(self.command, cwd=self.theme, env=env,
                                         stdin=subprocess.DEVNULL, stdout=output,
                                         stderr=output, start_new_session=True)
        finally:
            if self.closed_output:
                os.close(output)
        return self

    def __exit__(self, *exc):
        if self.status is None:
            os.killpg(self.proc.pid, signal.SIGKILL)
            self._reap(0)
        else:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
        self.output.close()

    def _reap(self, flags):
        pid, status, rusage = os.wait4(self.proc.pid, flags)
        if pid == 0:
            return False
        self.status, self.rusage = status, rusage
        self.proc.returncode = os.waitstatus_to_exitcode(status)
        self.elapsed = time.monotonic() - self.started
        return True

    def running(self):
        return self.status is None and not self._reap(os.WNOHANG)

    def wait_window(self, seconds=60):
        def shown():
            if not self.running():
                raise Failure(f"the menu ended before showing its window ({self.describe()})")
            return self.xserver.menu_windows()
        window = wait_for(shown, seconds, "the menu window to appear")[0]
        self.xserver.xdotool("windowfocus", "--sync", window)
        return window

    def wait_exit(self, seconds=60):
        wait_for(lambda: not self.running(), seconds, "the menu to end")

    def describe(self):
        if self.status is None:
            return "still running"
        if os.WIFSIGNALED(self.status):
            return f"killed by signal {os.WTERMSIG(self.status)}"
        return f"exit {os.WEXITSTATUS(self.status)}"

    def peak_mib(self):
        return self.rusage.ru_maxrss // 1024
