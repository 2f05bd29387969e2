"""One menu per theme folder: a power key pressed twice must not open two menus."""

import contextlib
import os
import signal
from dataclasses import dataclass
from typing import Callable, Optional

from harness import logging_script, make_theme, runs_of, write_script
from polling import wait_until
from menu_process import Menu


@dataclass
class Flow:
    name: str
    function: Callable
    skip: Optional[str] = None


def expect(menu, description):
    if menu.describe() != description:
        raise AssertionError(f"expected {description}, got {menu.describe()}")


def second_menu_ends_at_once(xserver, program, workdir):
    theme = make_theme(workdir / "theme")
    with Menu(xserver, program, theme) as first:
        first.wait_window()
        with Menu(xserver, program, theme) as second:
            second.wait_exit(30)
            expect(second, "exit 1")
            if "already open" not in (theme / "menu-output.txt").read_text():
                raise AssertionError("the second menu did not say why it did not start")
        if len(xserver.find_windows("shut_down")) != 1:
            raise AssertionError(f"{len(xserver.find_windows('shut_down'))} menu windows are showing, not 1")
        xserver.keys("Right", "Return", delay_ms=0)
        first.wait_exit()
        expect(first, "exit 1")
    if runs_of(theme) != ("item2",):
        raise AssertionError(f"expected only item2 to run, got {list(runs_of(theme))}")
    return f"second menu: {second.describe()} after {second.elapsed:.1f} s"


def menus_started_together_show_one(xserver, program, workdir):
    theme = make_theme(workdir / "theme")
    with contextlib.ExitStack() as stack:
        menus = [stack.enter_context(Menu(xserver, program, theme)) for _ in range(5)]
        wait_until(lambda: sum(not menu.running() for menu in menus) == 4,
                   "all but one of five menus to end", 60)
        ended = [menu.describe() for menu in menus if menu.status is not None]
        if ended != ["exit 1"] * 4:
            raise AssertionError(f"the menus that ended: {ended}, not four times exit 1")
        survivor = next(menu for menu in menus if menu.status is None)
        survivor.wait_window()
        if len(xserver.find_windows("shut_down")) != 1:
            raise AssertionError(f"{len(xserver.find_windows('shut_down'))} menu windows are showing, not 1")
        xserver.keys("Right", "Return", delay_ms=0)
        for menu in menus:
            menu.wait_exit()
    if runs_of(theme) != ("item2",):
        raise AssertionError(f"expected only item2 to run, got {list(runs_of(theme))}")
    return "one showed, four ended with exit 1"


def killed_menu_does_not_block_the_next(xserver, program, workdir):
    theme = make_theme(workdir / "theme")
    with Menu(xserver, program, theme) as crashed:
        crashed.wait_window()
        os.killpg(crashed.proc.pid, signal.SIGKILL)
        crashed.wait_exit()
    wait_until(lambda: not xserver.find_windows("shut_down"), "the killed menu's window to go", 30)
    return shows_and_cancels(xserver, program, theme)


def script_leftovers_do_not_block_the_next(xserver, program, workdir):
    theme = make_theme(workdir / "theme")
    # The script leaves a process behind that inherits whatever the menu did not close.
    write_script(theme, "item2.sh", logging_script("item2")
                 + "sleep 120 >/dev/null 2>&1 &\necho $! > leftover.pid\n")
    with Menu(xserver, program, theme) as first:
        first.wait_window()
        xserver.keys("Right", "Return", delay_ms=0)
        first.wait_exit()
        expect(first, "exit 1")
        leftover = int((theme / "leftover.pid").read_text())
        os.kill(leftover, 0)
        return shows_and_cancels(xserver, program, theme, ("item2",))


def other_folders_have_menus_of_their_own(xserver, program, workdir):
    one, other = make_theme(workdir / "one"), make_theme(workdir / "other")
    with Menu(xserver, program, one) as first, Menu(xserver, program, other) as second:
        wait_until(lambda: len(xserver.find_windows("shut_down")) == 2 or not second.running(),
                   "two menu windows", 60)
        if not second.running():
            raise AssertionError(f"the menu in another folder ended: {second.describe()}")
    return "both showed"


def another_users_menu_does_not_block_mine(xserver, program, workdir):
    # Each user's lock lives in that user's own runtime folder.
    theme = make_theme(workdir / "theme")
    (workdir / "a").mkdir(mode=0o700), (workdir / "b").mkdir(mode=0o700)
    with Menu(xserver, ["env", f"XDG_RUNTIME_DIR={workdir / 'a'}", program], theme), \
            Menu(xserver, ["env", f"XDG_RUNTIME_DIR={workdir / 'b'}", program], theme) as second:
        wait_until(lambda: len(xserver.find_windows("shut_down")) == 2 or not second.running(), "two menus", 60)
        expect(second, "still running")
    return "both showed"


def shows_and_cancels(xserver, program, theme, runs_before=()):
    with Menu(xserver, program, theme) as menu:
        menu.wait_window()
        xserver.keys("F2", delay_ms=0)
        menu.wait_exit()
        expect(menu, "exit 1")
    if runs_of(theme) != runs_before:
        raise AssertionError(f"expected scripts {list(runs_before)}, got {list(runs_of(theme))}")
    return f"the next menu showed and ended: {menu.describe()}"


def run(xserver, program, flow, workdir):
    return flow.function(xserver, program, workdir)


CASES = [
    Flow("a second menu in the same folder exits 1 at once, showing no window",
         second_menu_ends_at_once),
    Flow("five menus started at once: one shows, four exit 1", menus_started_together_show_one),
    Flow("a menu killed by SIGKILL does not keep the next from starting",
         killed_menu_does_not_block_the_next),
    Flow("a process left behind by a script does not keep the next from starting",
         script_leftovers_do_not_block_the_next),
    Flow("menus in two theme folders both show", other_folders_have_menus_of_their_own),
    Flow("another user's menu in the same folder does not block mine", another_users_menu_does_not_block_mine),
]
