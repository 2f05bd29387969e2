"""Runs tables of cases against the real menu and prints one line per case.

A case spoils a fresh copy of a theme, starts the menu in it under a private
X server, drives it with real keys and then checks the promises every case
shares: the menu is not killed by a signal, does not hang, exits with status
1, and the item scripts have run exactly as confirmed (none on cancel or F2).
"""

import os
import shutil
import tempfile
import time
import traceback
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Optional

from png_file import solid
from polling import wait_until
from xdisplay import XDisplay
from menu_process import Menu

REPO = Path(__file__).resolve().parents[2]
MENU_RGB = (40, 60, 200)
POWEROFF_RGB = (200, 30, 30)
BLACK = (0, 0, 0)
# A point of the sample layout that no highlight reaches.
CLEAR_POINT = (120, 20)


@dataclass
class Case:
    name: str
    # Spoils the theme folder before the menu starts.
    spoil: Callable[[Path], None] = lambda theme: None
    # Key names for xdotool, or a function given the X server that drives the menu.
    keys: object = ("Right", "Return")
    # The scripts that must have run, in order.
    runs: tuple = ("item2",)
    # Called with the menu and the X server after the keys, while the menu may still run.
    while_running: Optional[Callable] = None
    # Called with the ended menu and its theme folder.
    after: Optional[Callable] = None
    # A reason to skip the case here, or None.
    skip: Optional[str] = None
    # Peak memory the menu may use, in MiB.
    peak_limit_mib: Optional[int] = None
    # Standard output and error are a pipe whose reader has gone.
    closed_output: bool = False


def logging_script(item):
    return f"#!/bin/sh\necho {item} >> runs.log\n"


def make_theme(folder):
    """The sample conf.ini with plain one-colour pictures and scripts that log their run."""
    folder.mkdir()
    shutil.copy(REPO / "themes/default/conf.ini", folder / "conf.ini")
    (folder / "velmorine.png").write_bytes(solid(240, 320, MENU_RGB))
    (folder / "poweroff.png").write_bytes(solid(240, 320, POWEROFF_RGB))
    for index in range(3):
        write_script(folder, f"item{index}.sh", logging_script(f"item{index}"))
    return folder


def write_script(folder, name, text):
    path = folder / name
    path.write_text(text)
    path.chmod(0o755)


def runs_of(theme):
    log = theme / "runs.log"
    return tuple(log.read_text().split()) if log.exists() else ()


def drive(xserver, keys):
    if callable(keys):
        keys(xserver)
    elif keys:
        xserver.keys(*keys, delay_ms=0)


def wait_colour(xserver, point, rgb, tolerance=0, seconds=30):
    """Waits until the screen shows rgb at point (within tolerance per channel)."""
    def shows():
        seen = xserver.screenshot().pixel(*point)
        return all(abs(a - b) <= tolerance for a, b in zip(seen, rgb))
    wait_until(shows, f"colour {rgb} at {point}", seconds)


def run_case(xserver, program, case, workdir):
    theme = make_theme(workdir / "theme")
    case.spoil(theme)
    with Menu(xserver, program, theme, case.closed_output) as menu:
        menu.wait_window()
        drive(xserver, case.keys)
        if case.while_running:
            case.while_running(menu, xserver)
        menu.wait_exit()
        if menu.describe() != "exit 1":
            raise AssertionError(f"expected exit 1, got {menu.describe()}")
        runs = runs_of(theme)
        if runs != tuple(case.runs):
            raise AssertionError(f"expected scripts {list(case.runs)} to run, got {list(runs)}")
        if case.peak_limit_mib is not None and menu.peak_mib() > case.peak_limit_mib:
            raise AssertionError(f"peak memory {menu.peak_mib()} MiB, more than {case.peak_limit_mib} MiB")
        if case.after:
            case.after(menu, theme)
        return f"{menu.describe()}, {menu.elapsed:.1f} s, peak {menu.peak_mib()} MiB"


def run_table(group, program, cases, runner=run_case):
    """Runs every case on one X server; returns the process exit status."""
    passed = failed = skipped = 0
    with XDisplay(240, 320) as xserver:
        for case in cases:
            label = f"{group}: {case.name}"
            if case.skip:
                skipped += 1
                print(f"skip {label} ({case.skip})", flush=True)
                continue
            with tempfile.TemporaryDirectory(prefix="powermenu-reliability-") as workdir:
                started = time.monotonic()
                try:
                    summary = runner(xserver, program, case, Path(workdir))
                except AssertionError as failure:
                    failed += 1
                    print(f"FAIL {label}: {failure}", flush=True)
                    output = Path(workdir) / "theme" / "menu-output.txt"
                    if output.exists():
                        print("     menu output: " + output.read_bytes()[:2000].decode(errors="replace"))
                    continue
                except Exception:
                    failed += 1
                    print(f"FAIL {label}: the test itself broke after "
                          f"{time.monotonic() - started:.1f} s\n{traceback.format_exc()}", flush=True)
                    continue
            passed += 1
            print(f"ok   {label} ({summary})", flush=True)
    print(f"{passed} passed, {failed} failed, {skipped} skipped")
    return 1 if failed else 0


def not_as_root():
    return "running as root, who reads any file whatever its mode" if os.geteuid() == 0 else None
