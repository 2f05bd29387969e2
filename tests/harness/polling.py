"""Bounded waiting: every wait in the tests is a poll for a condition with a deadline."""

import time

# Generous: the suites also run under sanitizers, on two cores shared with other builds.
DEADLINE = 30.0
POLL_SECONDS = 0.05


def wait_until(condition, what, seconds=DEADLINE, last_seen=None):
    """Calls condition() until it returns something true, and returns that. Fails after
    `seconds` naming `what` and, when given, what last_seen() says was last observed."""
    end = time.monotonic() + seconds
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > end:
            seen = f"; last seen: {last_seen()}" if last_seen else ""
            raise AssertionError(f"gave up after {seconds:.0f} s waiting for {what}{seen}")
        time.sleep(POLL_SECONDS)
