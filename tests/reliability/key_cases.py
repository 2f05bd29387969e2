"""Key storms: held keys, bursts of thousands, keys after a confirm."""

import random
import time

from harness import Case

# The menu's key roles as X key names; the others are keys it must ignore.
MOVES = {"Right": "right", "6": "right", "Left": "left", "4": "left",
         "Up": "up", "2": "up", "Down": "down", "8": "down"}
IGNORED = ["a", "Escape", "space", "KP_Enter", "F1", "Tab", "Home", "BackSpace"]


def model(keys, sel_index=1, cancel_focus=False):
    """Where the focus ends after keys that hold no confirm and no F2."""
    for key in keys:
        move = MOVES.get(key)
        if move == "up":
            cancel_focus = False
        elif move == "down":
            cancel_focus = True
        elif move and not cancel_focus:
            sel_index = (sel_index + (1 if move == "right" else 2)) % 3
    return sel_index, cancel_focus


def burst(count, seed):
    keys = random.Random(seed).choices(list(MOVES) + IGNORED, k=count)
    sel_index, cancel_focus = model(keys)
    return keys + ["Return"], () if cancel_focus else (f"item{sel_index}",)


def hold_key(xserver, name, seconds):
    """Holds a key down, so that the server's auto-repeat floods the menu."""
    xserver.xdotool("keydown", name)
    try:
        time.sleep(seconds)
    finally:
        xserver.xdotool("keyup", name)


def held(*steps):
    """Steps in order: a (key, seconds) pair holds that key down, a name presses it once."""
    def keys(xserver):
        for step in steps:
            if isinstance(step, tuple):
                hold_key(xserver, *step)
            else:
                xserver.keys(step, delay_ms=0)
    return keys


burst_keys, burst_runs = burst(10000, seed=7)

CASES = [
    Case("10,000 keys in a burst, then Return", keys=burst_keys, runs=burst_runs),
    Case("holding Return runs the script once", keys=held(("Return", 1.5)), runs=("item1",)),
    Case("holding 5 on the cancel button runs nothing", keys=held("Down", ("5", 1.5)), runs=()),
    Case("holding Down, then Up, comes back to the top-row item",
         keys=held(("Down", 1.0), ("Up", 1.0), "Right", "Return"), runs=("item2",)),
    Case("keys after a confirm change nothing",
         keys=["Right", "Return", "Left", "Left", "Down", "Return", "Up", "5", "Right", "Return"],
         runs=("item2",)),
    Case("F2 after a confirm runs nothing", keys=["Right", "Return", "F2"], runs=()),
    Case("F2 held after a confirm runs nothing", keys=held("Return", ("F2", 1.0)), runs=()),
    Case("keys after a cancel run nothing", keys=["Down", "Return", "Up", "Return", "5"], runs=()),
    Case("F2 at once runs nothing", keys=["F2"], runs=()),
]
