"""Bounded waiting: every wait in these tests is a poll for a condition with a deadline."""

import time

POLL_SECONDS = 0.05


def wait_until(condition, seconds, what, last_seen=None):
    """Calls `condition` until it returns true; fails after `seconds` naming `what` and,
    when given, what `last_seen()` says was last observed."""
    deadline = time.monotonic() + seconds
    while True:
        if condition():
            return
        if time.monotonic() > deadline:
            seen = f"; last seen: {last_seen()}" if last_seen else ""
            raise AssertionError(f"gave up after {seconds} s waiting for {what}{seen}")
        time.sleep(POLL_SECONDS)
