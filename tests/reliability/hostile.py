#!/usr/bin/env python3
"""Hostile themes, scripts, key storms and second menus: one table, one runner.

Usage: hostile.py PATH/TO/powermenu [NAME...]
Each case spoils a fresh theme, starts the menu in it under one shared Xvfb, drives it with
real keys and checks what every case promises: not killed by a signal, no hang, exit status 1,
and exactly the confirmed scripts run (none on cancel or F2). A case run under a fault injected
into the toolkit may instead end with status 69 and a line that says why.
tests/reliability/README.md says what each case guards."""

import atexit
import functools
import os
import pwd
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Optional

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))

from png_file import encode, solid  # noqa: E402
from polling import wait_until  # noqa: E402
from xdisplay import XDisplay  # noqa: E402

REPO = Path(__file__).resolve().parents[2]
INT_MAX, INT_MIN = 2**31 - 1, -2**31


class Menu:
    """One menu in a theme folder, in a session of its own so that its scripts are killed with
    it at the end; reaped with wait4, for the peak memory it used."""

    def __init__(self, xserver, command, theme, closed_output=False):
        self.xserver, self.theme, self.status = xserver, theme, None
        output, env = os.open(theme / "menu-output.txt", os.O_WRONLY | os.O_CREAT | os.O_APPEND), xserver.env
        if closed_output:
            os.close(output)
            unread, output = os.pipe()
            os.close(unread)
            # Without it Qt has a warning to write, so the pipe is written to for sure.
            env = {k: v for k, v in env.items() if k != "XDG_RUNTIME_DIR"}
        self.started = time.monotonic()
        self.proc = subprocess.Popen([command] if isinstance(command, str) else command, cwd=theme, env=env,
                                     stdin=subprocess.DEVNULL, stdout=output, stderr=output, start_new_session=True)
        os.close(output)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        if self.status is None:
            self._reap(0)

    def _reap(self, flags):
        pid, status, self.rusage = os.wait4(self.proc.pid, flags)
        if pid:
            self.status, self.elapsed = status, time.monotonic() - self.started
        return pid != 0

    def running(self):
        return self.status is None and not self._reap(os.WNOHANG)

    def wait_window(self, seconds=60):
        self.xserver.wait_for_window("shut_down", lambda: None if self.running() else self.describe(), seconds)

    def wait_exit(self, seconds=60):
        wait_until(lambda: not self.running(), "the menu to end", seconds)

    def describe(self):
        if self.status is None:
            return "still running"
        if os.WIFSIGNALED(self.status):
            return f"killed by signal {os.WTERMSIG(self.status)}"
        return f"exit {os.WEXITSTATUS(self.status)}"

    def peak_mib(self):
        return self.rusage.ru_maxrss // 1024


@dataclass
class Case:
    name: str
    spoil: Callable[[Path], None] = lambda theme: None
    # xdotool key names, or a function given the X server and the menu.
    keys: object = ("Right", "Return")
    runs: tuple = ("item2",)
    # Called with the ended menu and its theme folder.
    after: Optional[Callable] = None
    # MiB, or the name of an earlier case whose peak may be exceeded by half.
    peak_limit_mib: object = 400
    closed_output: bool = False
    # A second menu in the same folder: "mine" must end at once with status 1, saying why;
    # "another user's" (its own runtime folder) must show.
    second_menu: Optional[str] = None
    # The menu's status, a text its output must hold, and whether it opens its window at all.
    status: int = 1
    said: str = ""
    shown: bool = True
    # Put before the menu's command line (strace; "{theme}" is the theme folder); "stranger" runs it
    # as the throwaway user.
    wrap: tuple = ()
    # A fault injected into the toolkit: the menu may instead end with status 69, saying why.
    toolkit_fault: bool = False


def make_theme(folder):
    """The sample conf.ini, one-colour pictures and scripts that log their run."""
    folder.mkdir()
    shutil.copy(REPO / "themes/default/conf.ini", folder / "conf.ini")
    (folder / "velmorine.png").write_bytes(solid(240, 320, (40, 60, 200)))
    (folder / "poweroff.png").write_bytes(solid(240, 320, (200, 30, 30)))
    for index in range(3):
        write_script(folder, f"item{index}.sh", "")
    return folder


def write_script(folder, name, body):
    path = folder / name
    path.write_text(f"#!/bin/sh\necho {name[:5]} >> runs.log\n{body}")
    path.chmod(0o755)


def runs_of(theme):
    log = theme / "runs.log"
    return tuple(log.read_text().split()) if log.exists() else ()


def conf(text):
    return lambda theme: (theme / "conf.ini").write_bytes(text if isinstance(text, bytes) else text.encode())


def every(value, keys=("icon0_y", "icon1_y", "width0", "width1", "height0", "height1", "reflash_x",
                       "shut_x", "reboot_x", "cancel_x", "start_x", "start_y", "line_width")):
    return conf("".join(f"{key}={value}\n" for key in keys) + "line_color=16763904\n")


def replace(names, make):
    def spoil(theme):
        for name in names:
            (theme / name).unlink()
            make(theme / name)
    return spoil


def fifty_mib(path):
    with open(path, "wb") as out:
        out.write((REPO / "themes/default/conf.ini").read_bytes())
        out.write(b"# a comment that goes on and on......\n" * (50 << 20 >> 5))


PICTURES = ("velmorine.png", "poweroff.png")


@functools.lru_cache(maxsize=None)
def huge_png():
    """A valid 1-bit picture: a few hundred kilobytes on disk, gigabytes once decoded."""
    return encode(30000, 30000, 1, 0, (bytes(3750) for _ in range(30000)))


def checkerboard(size):
    """A 1-bit checkerboard: 11 KB on disk at 5792 x 5792 pixels, 128 MiB once decoded."""
    rows = bytes([0x55]) * (size // 8), bytes([0xAA]) * (size // 8)
    return lambda path: path.write_bytes(encode(size, size, 1, 0, (rows[y % 2] for y in range(size))))


SAMPLE = (REPO / "themes/default/conf.ini").read_bytes()
NOISE = bytes(random.Random(4).randrange(256) for _ in range(65536))


def item2(body):
    return lambda theme: write_script(theme, "item2.sh", body)


def expect_file(name, check, why):
    def after(menu, theme):
        if not check((theme / name).read_text()):
            raise AssertionError(why)
    return after


def burst(count, seed):
    """Random keys ending in Return, and the script a model of the focus says must run."""
    moves = {"Right": 1, "6": 1, "Left": 2, "4": 2, "Up": "up", "2": "up", "Down": "down", "8": "down"}
    keys = random.Random(seed).choices(list(moves) + ["a", "Escape", "KP_Enter", "Tab"], k=count)
    item, on_cancel = 1, False
    for move in map(moves.get, keys):
        if move in ("up", "down"):
            on_cancel = move == "down"
        elif move and not on_cancel:
            item = (item + move) % 3
    return keys + ["Return"], () if on_cancel else (f"item{item}",)


def paused(*names):
    """The keys all wait for the menu at once, as on a busy device: it is stopped meanwhile."""
    def keys(xserver, menu):
        os.kill(menu.proc.pid, signal.SIGSTOP)
        xserver.keys(*names, delay_ms=0)
        os.kill(menu.proc.pid, signal.SIGCONT)
    return keys


def held(*steps):
    """A (key, seconds) pair holds that key down, so that auto-repeat floods the menu: a repeat
    after 550 ms, then every 100 ms. Holds of 0.9, 1.2 and 1.5 s make 4, 7 and 10 repeats, 50 ms
    from a change either way; counted as presses, any of them would move the focus elsewhere."""
    def keys(xserver, menu):
        xserver.run("xset", "r", "rate", "550", "10")
        for step in steps:
            if isinstance(step, str):
                xserver.keys(step, delay_ms=0)
                continue
            xserver.xdotool("keydown", step[0])
            time.sleep(step[1])
            xserver.xdotool("keyup", step[0])
    return keys


def down_before_the_menu(key, *names):
    """The menu opens while `key` is down, its press gone elsewhere; the menu gets its repeats for a
    while, then the key comes up and the other keys follow."""
    return dict(wrap=("sh", "-c", f'xdotool keydown {key} && exec "$0"'),
                keys=lambda xserver, menu: (time.sleep(1.5), xserver.xdotool("keyup", key),
                                            xserver.keys(*names, delay_ms=0)))


def inject(syscall, error, when):
    return dict(wrap=("strace", "-f", "-o", "/dev/null", "-e", f"inject={syscall}:error={error}:when={when}"),
                toolkit_fault=True)


def fake_bus_launcher(theme):
    """A session bus that can only be had by autolaunching one, and a launcher that says if it was."""
    (theme / "bin").mkdir()
    (theme / "run").mkdir(mode=0o700)
    launcher = theme / "bin/dbus-launch"
    launcher.write_text("#!/bin/sh\necho dbus-launch >> runs.log\nexit 1\n")
    launcher.chmod(0o755)


def leftover_holds_nothing(menu, theme):
    held_fds = (theme / "fds.txt").read_text().split("\n")
    if any(target == str(theme) or target.startswith("socket:") for target in held_fds):
        raise AssertionError(f"the script inherited the menu's lock or X connection: {held_fds}")


class Skip(Exception):
    pass


@functools.lru_cache(maxsize=None)
def stranger():
    """A second user with a private group, made for this run (as root) and removed at exit."""
    if os.geteuid() != 0:
        raise Skip("only root can make a second user")
    name = f"pm-hostile-{os.getpid()}"
    subprocess.run(["useradd", "--user-group", "--no-create-home", "--shell", "/usr/sbin/nologin", name], check=True)
    user = pwd.getpwnam(name)
    lock_folder = f"/tmp/powermenu-{user.pw_uid}"
    shutil.rmtree(lock_folder, ignore_errors=True)
    atexit.register(lambda: (subprocess.run(["userdel", name]), shutil.rmtree(lock_folder, ignore_errors=True)))
    return user


def strangers(*paths, group_only=False, mode=None):
    def spoil(theme):
        for path in paths:
            os.chown(theme / path, -1 if group_only else stranger().pw_uid, stranger().pw_gid)
            if mode:
                os.chmod(theme / path, mode)
    return spoil


def link_item2(owner, folder_mode=0o700):
    """item2.sh becomes a link to a script of `owner`'s in a folder above the theme."""
    def spoil(theme):
        target = theme.parent / "elsewhere.sh"
        shutil.move(theme / "item2.sh", target)
        os.chown(target, owner(), -1)
        theme.parent.chmod(folder_mode)
        (theme / "item2.sh").symlink_to(target)
    return spoil


def lock_folder_taken(theme):
    strangers(*THEME_FILES, ".")(theme)
    shutil.rmtree(f"/tmp/powermenu-{stranger().pw_uid}", ignore_errors=True)
    os.mkdir(f"/tmp/powermenu-{stranger().pw_uid}", 0o700)


def then(action, *names):
    """Calls action(menu) once the menu shows, then presses the keys."""
    def keys(xserver, menu):
        action(menu)
        xserver.keys(*names, delay_ms=0)
    return keys


def clones_fail(when):
    """strace on the shown menu makes its clone calls fail with EAGAIN (the calls `when` names)."""
    def attach(menu):
        pid = menu.proc.pid
        subprocess.Popen(["strace", "-f", "-o", "/dev/null", "-p", str(pid), "-e",
                          f"inject=clone,clone3:error=EAGAIN:when={when}"], stderr=subprocess.DEVNULL)
        wait_until(lambda: "TracerPid:\t0\n" not in Path(f"/proc/{pid}/status").read_text(), "strace to attach")
    return attach


THEME_FILES = ("conf.ini", "velmorine.png", "poweroff.png", "item0.sh", "item1.sh", "item2.sh")
REFUSED = dict(status=77, shown=False, runs=())
BURST_KEYS, BURST_RUNS = burst(3000, seed=7)

CASES = [
    Case("conf.ini missing", replace(["conf.ini"], lambda p: None)),
    Case("conf.ini a FIFO with no writer", replace(["conf.ini"], os.mkfifo)),
    Case("conf.ini a symlink to /dev/zero", replace(["conf.ini"], lambda p: p.symlink_to("/dev/zero"))),
    Case("conf.ini of 50 MiB", replace(["conf.ini"], fifty_mib)),
    Case("conf.ini of binary noise with NUL bytes", conf(SAMPLE.replace(b"\n", b"\0") + NOISE)),
    Case("conf.ini values of 1,000 digits", every("9" * 1000)),
    Case("every setting INT_MAX", every(INT_MAX), keys=("Down", "Up", "Left", "Return"), runs=("item0",)),
    Case("every setting INT_MIN, cancel pressed", every(INT_MIN), keys=("Down", "Return"), runs=()),
    Case("sizes and outline width INT_MAX, picture half off the screen",
         conf("start_x=-120\nstart_y=160\nwidth0=2147483647\nheight0=2147483647\nwidth1=2147483647\n"
              "height1=2147483647\nline_width=2147483647\n"), keys=("Down", "Return"), runs=()),
    Case("pictures missing", replace(PICTURES, lambda p: None)),
    Case("pictures that are FIFOs", replace(PICTURES, os.mkfifo)),
    Case("pictures that are directories", replace(PICTURES, lambda p: p.mkdir())),
    Case("pictures cut in half", replace(PICTURES, lambda p: p.write_bytes(solid(240, 320, (9, 9, 9))[:400]))),
    Case("pictures declaring 30000 x 30000 pixels", replace(PICTURES, lambda p: p.write_bytes(huge_png()))),
    Case("pictures a screen-sized checkerboard", replace(PICTURES, checkerboard(240))),
    Case("pictures an 11 KB checkerboard of 5792 x 5792", replace(PICTURES, checkerboard(5792)),
         peak_limit_mib="pictures a screen-sized checkerboard"),
    Case("script missing", lambda theme: (theme / "item2.sh").unlink(), runs=(), said="ended with status 127"),
    Case("script not executable", lambda theme: (theme / "item2.sh").chmod(0o644), runs=()),
    Case("script killed by SIGSEGV", item2("kill -SEGV $$\n"), said="item2.sh ended with status 139"),
    Case("/bin/sh cannot be executed", wrap=("strace", "-f", "-o", "/dev/null", "-P", "/bin/sh", "-e",
         "inject=execve:error=EACCES"), runs=(), status=71, said="could not be started: Permission denied"),
    Case("three process starts fail, the fourth runs the script", keys=then(clones_fail("1..3"), "Right", "Return")),
    Case("every process start fails", keys=then(clones_fail("1+"), "Right", "Return"), runs=(), status=71,
         said="Resource temporarily unavailable (tried for 2 s)"),
    Case("item2.sh writable by everyone", lambda theme: (theme / "item2.sh").chmod(0o777),
         said="item2.sh is writable by everyone", **REFUSED),
    Case("the theme folder writable by everyone", lambda theme: theme.chmod(0o777),
         said="(the theme folder) is writable by everyone", **REFUSED),
    Case("the theme folder writable by a stranger's group", strangers(".", group_only=True, mode=0o775),
         said="writable by the group pm-hostile", **REFUSED),
    Case("the whole theme a stranger's", strangers(".", *THEME_FILES), said="is owned by user pm-hostile", **REFUSED),
    Case("item2.sh a link to a stranger's file", link_item2(lambda: stranger().pw_uid),
         said="elsewhere.sh, which item2.sh leads to", **REFUSED),
    Case("item2.sh a link to root's file in a sticky folder like /tmp works", link_item2(lambda: 0, 0o1777)),
    Case("item2.sh made writable by everyone after the start",
         keys=then(lambda menu: (menu.theme / "item2.sh").chmod(0o777), "Right", "Return"), runs=(), status=77,
         said="./item2.sh was not run"),
    Case("a stranger's own theme, writable by their private group, works for them",
         strangers(".", *THEME_FILES, mode=0o775), wrap=("stranger",)),
    Case("a lock folder made by someone else is refused", lock_folder_taken, wrap=("stranger",), said="the lock folder",
         **REFUSED),
    Case("script writes into a pipe nobody reads", item2("echo into the void\n"), closed_output=True),
    Case("script starts with SIGPIPE at its default", item2("grep '^SigIgn' /proc/$$/status > sigign.txt\n"),
         after=expect_file("sigign.txt", lambda text: not int(text.split()[1], 16) & (1 << 12),
                           "the script started with SIGPIPE ignored")),
    Case("script inherits neither the folder lock nor the X connection",
         item2('for fd in /proc/$$/fd/*; do readlink "$fd"; done > fds.txt\n'), after=leftover_holds_nothing),
    Case("3,000 keys in a burst, then Return", keys=BURST_KEYS, runs=BURST_RUNS),
    Case("Return down since before the menu opened confirms nothing", **down_before_the_menu("Return", "Right", "Return")),
    Case("5 held down on cancel runs nothing", keys=held("Down", ("5", 1.5)), runs=()),
    *(Case(f"Right held down {seconds} s moves one step", keys=held(("Right", seconds), "Return"))
      for seconds in (0.9, 1.2, 1.5)),
    Case("F2 right after a confirm runs nothing", keys=paused("Return", "F2"), runs=()),
    Case("keys after a confirm change nothing", keys=paused("Right", "Return", "Left", "Return", "Down", "5")),
    Case("a second menu in the same folder ends at once, saying why", second_menu="mine"),
    Case("another user's menu in the same folder does not block mine", second_menu="another user's"),
    Case("no session bus: no bus daemon autolaunched", fake_bus_launcher,
         wrap=("env", "-u", "DBUS_SESSION_BUS_ADDRESS", "PATH={theme}/bin:/usr/bin:/bin", "XDG_RUNTIME_DIR={theme}/run")),
    # Threads start in this order: the menu's picture reader, Qt's X event reader, its D-Bus connection.
    *(Case(f"thread {when} cannot start", **inject("clone3", "EAGAIN", when)) for when in (1, 2, 3)),
    *(Case(name, **inject(*fault)) for name, fault in [
        ("writes to the display fail from the 20th on", ("writev", "EPIPE", "20+")),
        ("writes to the display fail from the 90th on", ("writev", "EPIPE", "90+")),
        ("the 10th read from the display fails", ("recvmsg", "EIO", "10"))]),
]


PEAKS = {}


def run_case(xserver, program, case, theme):
    case.spoil(theme)
    command = [arg.format(theme=theme) for arg in case.wrap] + [program]
    if case.wrap == ("stranger",):
        command = ["setpriv", f"--reuid={stranger().pw_uid}", f"--regid={stranger().pw_gid}", "--init-groups",
                   "env", "-u", "XDG_RUNTIME_DIR", program]
    with Menu(xserver, command, theme, case.closed_output) as menu:
        if case.toolkit_fault:
            # The menu bounds a start that hangs in the toolkit to a minute.
            wait_until(lambda: xserver.find_windows("shut_down") or not menu.running(), "the window or the end", 90)
        try:
            if case.shown:
                menu.wait_window()
        # A failing toolkit may also end the menu between its window being found and focused.
        except (AssertionError, RuntimeError):
            if not case.toolkit_fault:
                raise
        if case.second_menu:
            runtime = theme.parent / "another-user"
            runtime.mkdir(mode=0o700)
            mine = case.second_menu == "mine"
            with Menu(xserver, program if mine else ["env", f"XDG_RUNTIME_DIR={runtime}", program], theme) as second:
                windows = lambda: len(xserver.find_windows("shut_down"))
                wait_until(lambda: not second.running() if mine else windows() == 2 or not second.running(),
                           "the second menu to end" if mine else "two menus", 30)
                said = "already open" in (theme / "menu-output.txt").read_text()
                if (second.describe(), said, windows()) != (("exit 1", True, 1) if mine else ("still running", False, 2)):
                    raise AssertionError(f"the second menu: {second.describe()}, said why: {said}, windows: {windows()}")
            menu.wait_window()
        if case.shown:
            case.keys(xserver, menu) if callable(case.keys) else xserver.keys(*case.keys, delay_ms=0)
        # A refusal comes before Qt starts.
        menu.wait_exit(60 if case.shown else 10)
    output = (theme / "menu-output.txt").read_text()
    if case.toolkit_fault and menu.describe() == "exit 69" and "\npowermenu: " in "\n" + output:
        return "exit 69, saying why"
    if menu.describe() != f"exit {case.status}" or case.said not in output:
        raise AssertionError(f"expected exit {case.status} saying \"{case.said}\", "
                             f"got {menu.describe()}: {output[-300:]}")
    if runs_of(theme) != case.runs:
        raise AssertionError(f"expected scripts {list(case.runs)} to run, got {list(runs_of(theme))}")
    limit = case.peak_limit_mib
    if isinstance(limit, str):
        limit = PEAKS.get(limit, 0) * 3 // 2
    PEAKS[case.name] = menu.peak_mib()
    if menu.peak_mib() > limit:
        raise AssertionError(f"peak memory {menu.peak_mib()} MiB, more than {limit} MiB")
    if case.after:
        case.after(menu, theme)
    return f"{menu.describe()}, {menu.elapsed:.1f} s, peak {menu.peak_mib()} MiB"


def main(program, names):
    failed = 0
    with XDisplay(240, 320) as xserver:
        for case in CASES:
            if names and case.name not in names:
                continue
            with tempfile.TemporaryDirectory(prefix="powermenu-hostile-") as work:
                try:
                    print(f"ok   {case.name} ({run_case(xserver, program, case, make_theme(Path(work) / 'theme'))})",
                          flush=True)
                except Skip as why:
                    print(f"skip {case.name}: {why}", flush=True)
                except Exception as failure:
                    failed += 1
                    print(f"FAIL {case.name}: {str(failure)[:500]}", flush=True)
    return 1 if failed else 0


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    sys.exit(main(os.path.abspath(sys.argv[1]), sys.argv[2:]))
