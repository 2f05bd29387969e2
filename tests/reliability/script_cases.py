"""Item scripts that are missing, broken, noisy or slow: the menu ends when they end."""

import signal
import time

from harness import POWEROFF_RGB, Case, logging_script, wait_colour, write_script
from polling import wait_until

HOLD_SECONDS = 3
# Waits for the test's go-ahead, or gives up after a minute.
SLOW_SCRIPT = """: > started
i=0
while [ ! -e go ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
: > finished
"""


def item2(body):
    def spoil(theme):
        write_script(theme, "item2.sh", logging_script("item2") + body)
    return spoil


def not_executable(theme):
    (theme / "item2.sh").chmod(0o644)


def prints_megabytes(menu, theme):
    size = (theme / "menu-output.txt").stat().st_size
    if size < 20_000_000:
        raise AssertionError(f"the script's 20 MB of output did not all arrive ({size} bytes)")


def power_off_picture_while_script_runs(menu, xserver):
    """Holds the script for a few seconds, checking the screen, then lets it finish."""
    wait_until(lambda: (menu.theme / "started").exists(), "the slow script to start", 60)
    held_until = time.monotonic() + HOLD_SECONDS
    while time.monotonic() < held_until:
        wait_colour(xserver, (120, 160), POWEROFF_RGB)
        if not menu.running():
            raise AssertionError(f"the menu ended ({menu.describe()}) while its script was still running")
        time.sleep(0.5)
    (menu.theme / "go").touch()


def ended_after_script(menu, theme):
    if not (theme / "finished").exists():
        raise AssertionError("the menu ended before its script had finished")


def holds_nothing_of_the_menu(menu, theme):
    held = (theme / "fds.txt").read_text().split("\n")
    leaked = [target for target in held if target == str(theme) or target.startswith("socket:")]
    if leaked:
        raise AssertionError(f"the script inherited the menu's {leaked}")


def sigpipe_at_default(menu, theme):
    ignored = int((theme / "sigign.txt").read_text().split()[1], 16)
    if ignored & (1 << (signal.SIGPIPE - 1)):
        raise AssertionError("the script started with SIGPIPE ignored")


CASES = [
    Case("missing", lambda theme: (theme / "item2.sh").unlink(), runs=()),
    Case("not executable", not_executable, runs=()),
    Case("exits with status 3", item2("exit 3\n")),
    Case("killed by SIGKILL", item2("kill -KILL $$\n")),
    Case("killed by SIGSEGV", item2("kill -SEGV $$\n")),
    Case("prints 20 MB", item2("head -c 20000000 /dev/zero | tr '\\0' x\n"), after=prints_megabytes),
    Case("prints into a pipe nobody reads", item2("echo into the void\n"), closed_output=True),
    Case("starts with SIGPIPE at its default", item2("grep '^SigIgn' /proc/$$/status > sigign.txt\n"),
         after=sigpipe_at_default),
    Case("inherits neither the folder lock nor the X connection",
         item2('for fd in /proc/$$/fd/*; do readlink "$fd"; done > fds.txt\n'),
         after=holds_nothing_of_the_menu),
    Case(f"runs for {HOLD_SECONDS} seconds and more", item2(SLOW_SCRIPT),
         while_running=power_off_picture_while_script_runs, after=ended_after_script),
]
