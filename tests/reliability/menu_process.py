"""Menu processes for the reliability tests.

Every menu started here belongs to a context manager that stops it, also
when a test fails half-way. Unlike the other suites' processes, a menu is
reaped with os.wait4, for the peak memory it used.
"""

import os
import signal
import subprocess
import time

from polling import wait_until


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
        return self.xserver.wait_for_window(
            "shut_down", lambda: None if self.running() else self.describe(), seconds)

    def wait_exit(self, seconds=60):
        wait_until(lambda: not self.running(), "the menu to end", seconds)

    def describe(self):
        if self.status is None:
            return "still running"
        if os.WIFSIGNALED(self.status):
            return f"killed by signal {os.WTERMSIG(self.status)}"
        return f"exit {os.WEXITSTATUS(self.status)}"

    def peak_mib(self):
        return self.rusage.ru_maxrss // 1024
