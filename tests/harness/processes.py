"""Processes that are always stopped, also when a test fails: each runs in a session of
its own, so that stopping it reaches whatever it started, such as an item script."""

import os
import signal
import subprocess
import time
import uuid

from polling import DEADLINE

LEFTOVER_MARK = "POWERMENU_TEST_RUN"

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


def isolated(env):
    """env for what a test starts: a session bus address that answers nothing (else libdbus
    starts a bus daemon for the X display, for Qt's accessibility, which outlives the test), and
    a mark of its own, so that what outlives the test can be found."""
    return {**env, "DBUS_SESSION_BUS_ADDRESS": "disabled:", LEFTOVER_MARK: uuid.uuid4().hex}


def left_running(env, seconds=5):
    """What was started with this isolated() env and still runs after a few seconds, as
    "pid command" lines; it is killed, so that it does not pile up."""
    needle, end = f"{LEFTOVER_MARK}={env[LEFTOVER_MARK]}".encode(), time.monotonic() + seconds
    while True:
        found = {}
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                with open(f"/proc/{pid}/environ", "rb") as environ, open(f"/proc/{pid}/cmdline", "rb") as cmd:
                    if needle in environ.read().split(b"\0"):
                        found[int(pid)] = cmd.read().replace(b"\0", b" ").decode(errors="replace").strip()
            except OSError:
                pass
        if not found or time.monotonic() > end:
            break
        time.sleep(0.1)
    for pid in found:
        try:
            os.kill(pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
    return [f"{pid} {command}" for pid, command in found.items()]


def fail_if_left_running(env):
    left = left_running(env)
    if left:
        raise AssertionError(f"left running after the test: {left}")


def isolated_for(test, env):
    """isolated(env); the test fails if anything started with it outlives the test's cleanup."""
    env = isolated(env)
    test.addCleanup(fail_if_left_running, env)
    return env
