"""The base of every end-to-end test: a private X display, a theme folder, and powermenu
started in that folder as a user would start it. Everything a test starts is stopped by the
test's cleanups, also when it fails."""

import os
import re
import signal
import subprocess
import tempfile
import unittest

import menu_view
import processes
from polling import wait_until
from theme import PHONE, Theme
from xdisplay import XDisplay

# Set by run_case.py from its command line: the built or installed program under test.
POWERMENU = None

SCREEN_SECONDS = 20
EXIT_SECONDS = 30


class MenuRun:
    """One run of powermenu in a theme folder, on an X display."""

    def __init__(self, xserver, theme, args, output_path):
        self.xserver, self.theme = xserver, theme
        self._output_path = output_path
        with open(output_path, "wb") as output:
            # A session of its own, so that stopping it also stops a script it is running.
            self.process = subprocess.Popen([POWERMENU, *args], cwd=theme.folder,
                                            env=xserver.env, stdin=subprocess.DEVNULL,
                                            stdout=output, stderr=subprocess.STDOUT,
                                            start_new_session=True)

    def wait_until_ready(self):
        """Waits until the window is mapped, then gives it the keyboard."""
        self.xserver.wait_for_window(
            "shut_down", lambda: None if self.running() else f"status {self.process.returncode}")

    def output(self):
        with open(self._output_path, errors="replace") as output:
            return output.read()

    def keys(self, *names, delay_ms=12):
        self.xserver.keys(*names, delay_ms=delay_ms)

    def running(self):
        return self.process.poll() is None

    def wait_for_exit(self):
        """The exit status, once the program has ended by itself."""
        return processes.exit_status(self.process, "powermenu to end", EXIT_SECONDS)

    def pause(self):
        os.kill(self.process.pid, signal.SIGSTOP)

    def resume(self):
        os.kill(self.process.pid, signal.SIGCONT)

    def stop(self):
        self.theme.release_scripts()
        processes.stop(self.process)


class MenuTestCase(unittest.TestCase):
    """Helpers for starting the menu and for waiting on what the screen shows."""

    screen = PHONE

    def setUp(self):
        if POWERMENU is None:
            raise RuntimeError("run these tests through run_case.py, which names the program")
        work = tempfile.TemporaryDirectory(prefix="powermenu-e2e-")
        self.addCleanup(work.cleanup)
        self.work = work.name
        self.xserver = None
        self._last_shot = None

    def start_xserver(self, screen=None):
        screen = screen or self.screen
        self.xserver = XDisplay(screen.width, screen.height, os.path.join(self.work, "xvfb.log"))
        self.addCleanup(self.xserver.stop)
        return self.xserver

    def make_theme(self, screen=None, **options):
        """A new theme folder of its own, so that each run's script log starts empty."""
        folder = tempfile.mkdtemp(prefix="theme-", dir=self.work)
        return Theme(folder, screen or self.screen, **options)

    def start_menu(self, theme, *args):
        """Starts powermenu in the theme folder, on this test's display (started if needed),
        and waits until its window is mapped and has the keyboard."""
        if self.xserver is None:
            self.start_xserver(theme.screen)
        output = os.path.join(self.work, os.path.basename(theme.folder) + ".out")
        run = MenuRun(self.xserver, theme, args, output)
        self.addCleanup(run.stop)
        run.wait_until_ready()
        return run

    def shot(self):
        self._last_shot = self.xserver.screenshot()
        return self._last_shot

    def wait_for_screen(self, condition, what, describe=None):
        """Polls screenshots until condition(shot) holds. A failed wait says what
        describe(shot) made of the last screenshot, keeps it as a PNG and names the file."""
        seen = ["nothing"]

        def check():
            shot = self.shot()
            try:
                if condition(shot):
                    return True
                seen[0] = describe(shot) if describe else "something else"
            except AssertionError as unclear:
                seen[0] = str(unclear)
            return False

        try:
            wait_until(check, what, SCREEN_SECONDS, lambda: seen[0])
        except AssertionError as failure:
            raise AssertionError(f"{failure}; screen saved as {self._keep_last_shot()}") from None

    def _keep_last_shot(self):
        if self._last_shot is None:
            return "(no screenshot was taken)"
        folder = os.path.abspath("e2e-screens")
        os.makedirs(folder, exist_ok=True)
        name = re.sub(r"\W+", "_", self.id().split(".")[-1])
        return self._last_shot.save_png(os.path.join(folder, name + ".png"))

    def wait_for_highlight(self, theme, target, style=menu_view.FOCUS, after=()):
        """Waits for the highlight; `after` names the keys pressed so far, for the message."""
        try:
            self.wait_for_screen(
                lambda shot: menu_view.highlight(shot, theme) == (target, style),
                f"a {style} highlight on {target}",
                lambda shot: menu_view.describe(menu_view.highlight(shot, theme)))
        except AssertionError as failure:
            if not after:
                raise
            raise AssertionError(f"after {' '.join(after)}: {failure}") from None

    def wait_for_scripts(self, theme, expected):
        wait_until(lambda: theme.scripts_run() == expected, f"scripts {expected} to have run",
                   SCREEN_SECONDS, lambda: f"scripts run: {theme.scripts_run()}")

    def assert_ended(self, run, status=1, scripts=()):
        """The program ends by itself with `status`, the scripts `scripts` having run, once each."""
        self.assertEqual(run.wait_for_exit(), status, f"exit status; output:\n{run.output()}")
        self.assertEqual(run.theme.scripts_run(), list(scripts), "scripts that ran")
