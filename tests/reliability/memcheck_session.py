#!/usr/bin/env python3
"""One whole menu session under valgrind's memcheck: start, move, confirm, script, exit.

Usage: memcheck_session.py PATH/TO/powermenu LOG_FILE SUPPRESSIONS
Exits 0 when the session ran as it should and memcheck reported no error.
"""

import os
import re
import sys
import tempfile
from pathlib import Path

# The drivers for Xvfb and processes that every suite shares.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))

from hostile import Menu, make_theme, runs_of  # noqa: E402
from xdisplay import XDisplay  # noqa: E402

# Under valgrind the menu runs tens of times slower than usual.
SLOW = 600


def main(program, log, suppressions):
    valgrind = ["valgrind", "--tool=memcheck", "--error-exitcode=99", "--leak-check=full",
                "--show-leak-kinds=definite", "--errors-for-leak-kinds=definite",
                "--track-origins=yes", "--num-callers=30", f"--suppressions={suppressions}",
                f"--log-file={log}", program]
    with XDisplay(240, 320) as xserver, tempfile.TemporaryDirectory(prefix="powermenu-memcheck-") as work:
        theme = make_theme(Path(work) / "theme")
        with Menu(xserver, valgrind, theme) as menu:
            print("powermenu memcheck: starting the menu under valgrind (this takes a while)", flush=True)
            menu.wait_window(SLOW)
            print("powermenu memcheck: moving right and confirming item 2", flush=True)
            xserver.keys("Right", "Return", delay_ms=500)
            menu.wait_exit(SLOW)
            runs = runs_of(theme)
    # The log holds a summary for each process valgrind followed until it
    # exec'd or ended; the libraries fork helpers of their own.
    summaries = re.findall(r"ERROR SUMMARY: (\d+) errors", Path(log).read_text())
    errors = sum(int(count) for count in summaries)
    print(f"powermenu memcheck: menu {menu.describe()}, scripts run {list(runs)}, "
          f"memcheck errors {errors if summaries else 'unknown'}", flush=True)
    if menu.describe() == "exit 99" or errors:
        raise AssertionError(f"memcheck found errors; see {log}")
    if menu.describe() != "exit 1" or runs != ("item2",):
        raise AssertionError("the session did not end as it should (exit 1 after item2 ran)")


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(f"usage: {sys.argv[0]} PATH/TO/powermenu LOG_FILE SUPPRESSIONS")
    try:
        # The menu runs in its theme folder, so every path must be absolute.
        main(*(os.path.abspath(arg) for arg in sys.argv[1:]))
    except AssertionError as failure:
        sys.exit(f"powermenu memcheck: FAILED: {failure}")
