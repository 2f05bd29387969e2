"""Bounded waiting, and processes that are always stopped, also when a test fails."""

import os
import signal
import subprocess
import time

# Generous: other builds share the machine's two cores.
DEADLINE = 30.0


def wait_until(condition, what, timeout=DEADLINE, interval=0.05):
    """Polls condition() until it returns something true, and returns that."""
    end = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > end:
            raise AssertionError(f"gave up after {timeout:.0f} s waiting for {what}")
        time.sleep(interval)


def start(test, args, **kwargs):
    """Starts a process in a session of its own; test.addCleanup stops it and its children."""
    process = subprocess.Popen(args, start_new_session=True, **kwargs)
    test.addCleanup(stop, process)
    return process


def stop(process):
    if process.poll() is not None:
        return
    for sig, grace in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
        try:
            os.killpg(process.pid, sig)
        except ProcessLookupError:
            return
        try:
            process.wait(grace)
            return
        except subprocess.TimeoutExpired:
            pass


def exit_status(process, what="the menu to end"):
    try:
        return process.wait(DEADLINE)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"gave up after {DEADLINE:.0f} s waiting for {what}") from None
