"""Processes that are always stopped, also when a test fails: each runs in a session of
its own, so that stopping it reaches whatever it started, such as an item script."""

import os
import signal
import subprocess

from polling import DEADLINE

STOP_SECONDS = 10


def start(test, args, **kwargs):
    """Starts a process in a session of its own; test.addCleanup stops it and its children."""
    process = subprocess.Popen(args, start_new_session=True, **kwargs)
    test.addCleanup(stop, process)
    return process


def stop(process):
    """Ends the process's whole group: politely first, then for sure."""
    if process.poll() is not None:
        return
    # SIGCONT first: a paused process would not act on SIGTERM.
    for signals in ((signal.SIGCONT, signal.SIGTERM), (signal.SIGKILL,)):
        try:
            for sig in signals:
                os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(STOP_SECONDS)
            return
        except subprocess.TimeoutExpired:
            pass


def exit_status(process, what="the menu to end", seconds=DEADLINE):
    try:
        return process.wait(seconds)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"gave up after {seconds:.0f} s waiting for {what}") from None
