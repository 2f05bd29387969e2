#!/usr/bin/env python3
"""Boots the device image under QEMU and walks the menu as a person would.

    tools/device_walk.py IMAGE_DIR ARCH BENCH_DIR OUT_DIR PLATFORM...

IMAGE_DIR holds disk.raw, vmlinuz and initrd.img (tools/device-image.sh) for
ARCH (amd64 or arm64); BENCH_DIR the device's fbframe and qt_min
(bench/device); OUT_DIR receives the screenshots (PNG), the theme the
device made, the timings, the serial console's log and QEMU's own log, in
one folder for each Qt platform.

The walk runs once for each platform named (linuxfb, eglfs). Each time one
machine is booted, makes its own full-screen theme where acpid's script
finds it (powermenu-new-theme, which finds the screen's size itself), and
ends three ways: Cancel (with a second press of the power button while the
menu is open), then Restart (the serial log shows the restart and the next
boot), then Power off (QEMU ends by itself). On linuxfb it also times, on
the device, the power button's ACPI event to the menu's picture on
/dev/fb0, and the menu's first frame beside the minimal Qt program's.
The power button is QEMU's (ACPI on a PC, the GPIO power key on arm64);
the phone's volume and power keys are key events on its keyboard. Every
step prints its time; a failed expectation ends that platform's walk with
a message, and the status is 1.
"""

import json
import os
import re
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SCREEN = (720, 1440)
# The phone's screen is a plain framebuffer; its power key reaches acpid as
# button/power both ways: the PC's ACPI button, or on arm64 the virt
# machine's GPIO power key (gpio-keys). The virt machine has no PS/2, so
# the phone's keys come from a virtio keyboard.
MACHINES = {
    "amd64": ["qemu-system-x86_64", "-vga", "none", "-device", f"bochs-display,xres={SCREEN[0]},yres={SCREEN[1]}"],
    "arm64": ["qemu-system-aarch64", "-M", "virt", "-cpu", "cortex-a57",
              "-device", f"virtio-gpu-pci,xres={SCREEN[0]},yres={SCREEN[1]}", "-device", "virtio-keyboard-pci"],
}
CONSOLES = {"amd64": "ttyS0", "arm64": "ttyAMA0"}
# Times count from the start of tools/device-test.sh when it runs this.
STARTED = float(os.environ.get("POWERMENU_DEVICE_TEST_STARTED", time.time()))


def say(text):
    print(f"device-walk: [{time.time() - STARTED:4.0f}s] {text}", flush=True)


class WalkFailed(Exception):
    pass


# An emulated machine (any without KVM: arm64 always, amd64 where KVM does
# not run) is several times slower; every wait is longer by this.
EMULATED_SLOWER = 4
slower = 1
# Rounds of the first-frame timing on linuxfb, each program once a round.
ROUNDS = 5
THEME = "/etc/powermenu/theme"
HOST = "/run/host"


def wait_for(what, condition, timeout, interval=0.5):
    """Polls condition() until it returns something true, for at most timeout s."""
    timeout *= slower
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise WalkFailed(f"{what}: not within {timeout} s")
        time.sleep(interval)


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = re.match(rb"P6\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
    if not fields:
        raise WalkFailed(f"{path} is not a binary PPM picture")
    width, height = int(fields.group(1)), int(fields.group(2))
    return width, height, data[fields.end():]


class Picture:
    """An RGB picture, read through ImageMagick's convert into PPM."""

    def __init__(self, path):
        with tempfile.NamedTemporaryFile(suffix=".ppm") as ppm:
            subprocess.run(["convert", path, "-alpha", "off", "ppm:" + ppm.name], check=True)
            self.width, self.height, self.pixels = read_ppm(ppm.name)

    def at(self, x, y):
        i = 3 * (y * self.width + x)
        return self.pixels[i:i + 3]


def theme_settings(theme):
    settings = {}
    with open(os.path.join(theme, "conf.ini")) as f:
        for line in f:
            match = re.match(r"(\w+)=(\d+)", line)
            if match:
                settings[match.group(1)] = int(match.group(2))
    return settings


class Theme:
    """Where the theme's highlights are, and what the screen must show."""

    def __init__(self, folder):
        s = theme_settings(folder)
        self.menu = Picture(os.path.join(folder, "velmorine.png"))
        self.poweroff = Picture(os.path.join(folder, "poweroff.png"))
        self.origin = (s["start_x"], s["start_y"])
        top = [(s[key], s["icon0_y"], s["width0"], s["height0"]) for key in ("reflash_x", "shut_x", "reboot_x")]
        self.targets = {"Flash": top[0], "Power off": top[1], "Restart": top[2],
                        "Cancel": (s["cancel_x"], s["icon1_y"], s["width1"], s["height1"])}

    def probes(self):
        """fbframe's probe pixels: the menu picture near its four corners,
        away from every highlight, where it is not the console's black."""
        w, h = self.menu.width, self.menu.height
        points = [(4, 4), (w - 5, 4), (4, h - 5), (w - 5, h - 5)]
        colours = [(x, y, self.menu.at(x, y).hex()) for x, y in points]
        return [f"-p {x},{y},{rgb}" for x, y, rgb in colours if rgb != "000000"]

    @staticmethod
    def border(x, y, w, h):
        for i in range(w):
            yield x + i, y
            yield x + i, y + h - 1
        for j in range(1, h - 1):
            yield x, y + j
            yield x + w - 1, y + j

    def check_menu(self, screen, focused):
        """None when the screen shows the menu picture at its place with the
        highlight on `focused` alone, else what is wrong."""
        ox, oy = self.origin
        differs = lambda x, y: screen.at(ox + x, oy + y) != self.menu.at(x, y)
        highlighted = {}
        on_borders = set()
        for name, rect in self.targets.items():
            points = list(self.border(*rect))
            on_borders.update(points)
            highlighted[name] = sum(differs(x, y) for x, y in points) / len(points)
        w, h = self.menu.width, self.menu.height
        elsewhere = [(x, y) for y in range(0, h, 3) for x in range(0, w, 3) if (x, y) not in on_borders]
        if differs(w - 1, h - 1):
            return "the menu picture's bottom-right pixel is not on the screen's"
        stray = sum(differs(x, y) for x, y in elsewhere) / len(elsewhere)
        if stray > 0.01:
            return f"{stray:.0%} of the menu picture's pixels away from the highlights differ from velmorine.png"
        lit = [name for name, share in highlighted.items() if share > 0.2]
        if lit != [focused]:
            shares = ", ".join(f"{name} {share:.0%}" for name, share in highlighted.items())
            return f"highlight expected on {focused} alone; border pixels changed: {shares}"
        return None

    def check_poweroff(self, screen):
        samples = [(x, y) for y in range(0, self.poweroff.height, 4) for x in range(0, self.poweroff.width, 4)]
        same = sum(screen.at(x, y) == self.poweroff.at(x, y) for x, y in samples) / len(samples)
        return None if same > 0.99 else f"only {same:.0%} of the screen matches poweroff.png"


class Machine:
    """One QEMU process: its QMP socket, serial console and screen."""

    def __init__(self, image, out, accel, arch):
        self.out = out
        self.run_dir = tempfile.mkdtemp(prefix="powermenu-device-")
        self.serial_log = os.path.join(out, "serial.log")
        self.shots = 0
        self.commands = 0
        disk = os.path.join(self.run_dir, "disk.qcow2")
        # Each walk writes to an overlay: the cached image stays as it was made.
        subprocess.run(["qemu-img", "create", "-q", "-f", "qcow2", "-F", "raw", "-b",
                        os.path.join(image, "disk.raw"), disk], check=True)
        qmp_path = os.path.join(self.run_dir, "qmp")
        serial_path = os.path.join(self.run_dir, "serial")
        command = [
            *MACHINES[arch], "-accel", accel, "-smp", "2", "-m", "1024",
            "-kernel", os.path.join(image, "vmlinuz"), "-initrd", os.path.join(image, "initrd.img"),
            "-append", f"root=/dev/vda rw console={CONSOLES[arch]} loglevel=6 vt.global_cursor_default=0",
            "-drive", f"file={disk},format=qcow2,if=virtio",
            "-display", "none", "-nic", "none",
            # A folder shared with the host: the theme comes out, the bench programs go in.
            "-fsdev", f"local,id=host,path={out},security_model=none",
            "-device", "virtio-9p-pci,fsdev=host,mount_tag=host",
            "-chardev", f"socket,id=serial0,path={serial_path},server=on,wait=off,logfile={self.serial_log}",
            "-serial", "chardev:serial0",
            "-qmp", f"unix:{qmp_path},server=on,wait=off",
        ]
        self.qemu_log = open(os.path.join(out, "qemu.log"), "w")
        self.process = subprocess.Popen(command, stdout=self.qemu_log, stderr=subprocess.STDOUT)
        self.qmp = self._connect(qmp_path)
        self.qmp_file = self.qmp.makefile("rw")
        self._qmp_reply()  # the greeting
        self.execute("qmp_capabilities")
        self.serial = self._connect(serial_path)
        # QEMU writes the log; an unread socket would stall the guest's serial port.
        threading.Thread(target=self._drain_serial, daemon=True).start()

    def _drain_serial(self):
        try:
            while self.serial.recv(65536):
                pass
        except OSError:
            pass

    def _connect(self, path):
        def attempt():
            if self.process.poll() is not None:
                raise WalkFailed(f"QEMU ended at once (status {self.process.returncode}); see qemu.log")
            try:
                s = socket.socket(socket.AF_UNIX)
                s.connect(path)
                return s
            except OSError:
                return None
        return wait_for(f"QEMU's socket {os.path.basename(path)}", attempt, 30, 0.1)

    def _qmp_reply(self):
        while True:
            line = self.qmp_file.readline()
            if not line:
                raise WalkFailed("QEMU closed its QMP socket")
            message = json.loads(line)
            if "event" not in message:
                return message

    def execute(self, command, **arguments):
        self.qmp_file.write(json.dumps({"execute": command, "arguments": arguments}) + "\n")
        self.qmp_file.flush()
        reply = self._qmp_reply()
        if "error" in reply:
            raise WalkFailed(f"QMP {command}: {reply['error'].get('desc')}")
        return reply.get("return")

    def key(self, qcode):
        self.execute("send-key", keys=[{"type": "qcode", "data": qcode}])

    def log(self):
        with open(self.serial_log, errors="replace") as f:
            return f.read()

    def shell(self, command, timeout=60):
        """Runs command in the serial console's root shell; returns its output."""
        self.commands += 1
        tag = f"done-{self.commands}"
        start = len(self.log())
        # Typed, the tag reads "@@"'done-N'; only the shell's output reads @@done-N.
        self.serial.sendall(f"{command}; echo \"@@\"'{tag}' $?\n".encode())
        pattern = re.compile(r"@@" + tag + r" (\d+)\r?\n")
        match = wait_for(f"the shell's answer to: {command}", lambda: pattern.search(self.log(), start), timeout, 0.3)
        text = self.log()[start:match.start()]
        typed = text.rfind(f"'{tag}' $?")
        text = text[text.find("\n", typed) + 1:] if typed >= 0 else text
        return re.sub(r"\x1b\[[0-9;?]*[A-Za-z]", "", text)  # the shell's terminal controls

    def screendump(self):
        """The screen now, as a Picture of the PPM that QEMU wrote."""
        ppm = os.path.join(self.run_dir, "screen.ppm")
        self.execute("screendump", filename=ppm)
        picture = Picture.__new__(Picture)
        picture.width, picture.height, picture.pixels = read_ppm(ppm)
        if (picture.width, picture.height) != SCREEN:
            raise WalkFailed(f"the screen is {picture.width}x{picture.height}, not {SCREEN[0]}x{SCREEN[1]}")
        return picture

    def save_screen(self, name):
        """Keeps the last screendump as the next numbered PNG."""
        self.shots += 1
        png = os.path.join(self.out, f"{self.shots:02d}-{name}.png")
        subprocess.run(["convert", os.path.join(self.run_dir, "screen.ppm"), png], check=True)
        return os.path.basename(png)

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.qemu_log.close()
        shutil.rmtree(self.run_dir, ignore_errors=True)


class Walk:
    def __init__(self, machine, timed):
        self.m = machine
        self.theme = None
        # On linuxfb the menu draws on /dev/fb0, where fbframe sees it.
        self.timed = timed
        self.times = {"ACPI event to picture": [], "first frame: powermenu": [], "first frame: minimal Qt": []}

    def boot(self, boots):
        def booted():
            log = self.m.log()
            return log.count("Linux version") >= boots and "root@powermenu-device" in log[log.rfind("Linux version"):]
        wait_for(f"boot {boots}: the serial console's root shell", booted, 600, 1)
        say(f"boot {boots}: the root shell answers on the serial console")
        wait_for("acpid running", lambda: "active" == self.m.shell("systemctl is-active acpid").strip(), 120, 2)
        say("acpid runs, with the powermenu binding")
        self.m.shell(f"mkdir -p {HOST}; mountpoint -q {HOST} || mount -t 9p -o trans=virtio,version=9p2000.L host {HOST}")

    def make_theme(self):
        """As a phone's owner would: one command, no size given."""
        made = self.m.shell(f"powermenu-new-theme --scripts systemd {THEME}", 120)
        found = f"the screen of the framebuffer /dev/fb0 is {SCREEN[0]}x{SCREEN[1]}"
        if found not in made:
            raise WalkFailed(f"powermenu-new-theme did not find the {SCREEN[0]}x{SCREEN[1]} framebuffer: {made.strip()}")
        say(f"powermenu-new-theme without --screen: {found}; theme made in {THEME}")
        self.m.shell(f"mkdir -p {HOST}/theme && cp {THEME}/conf.ini {THEME}/*.png {HOST}/theme/")
        self.theme = Theme(os.path.join(self.m.out, "theme"))
        sizes = {(p.width, p.height) for p in (self.theme.menu, self.theme.poweroff)}
        if sizes != {SCREEN} or self.theme.origin != (0, 0):
            raise WalkFailed(f"the theme is not full screen: pictures {sizes} at {self.theme.origin}")
        say("its pictures cover the whole screen; a copy is in the theme folder beside the screenshots")

    def fbframe(self, arguments, timeout=60):
        """One fbframe run on the device, in the theme's folder; its time in ms."""
        # In a subshell: a longer prompt (the working folder's) would make the console wrap the typed lines.
        line = self.m.shell(f"(cd {THEME} && {HOST}/bench/fbframe -t {timeout * slower} "
                            f"{' '.join(self.theme.probes())} {arguments})", timeout + 30)
        match = re.search(r"content_ms=([\d.]+)", line)
        if not match:
            raise WalkFailed(f"fbframe saw no picture: {line.strip()}")
        return float(match.group(1))

    def time_first_frames(self):
        """The menu's first frame on linuxfb beside the minimal Qt program's,
        alternating, started as acpid starts the menu (its environment, its theme)."""
        env = "env QT_QPA_FB_NO_LIBINPUT=1 QT_QPA_FB_HIDECURSOR=1"
        programs = {"first frame: powermenu": f"-- {env} powermenu -platform linuxfb",
                    "first frame: minimal Qt": f"-- {env} {HOST}/bench/qt_min -platform linuxfb velmorine.png"}
        say(f"timing the first frame on linuxfb: powermenu and the minimal Qt program, {ROUNDS} rounds")
        for round in range(ROUNDS + 1):
            for name in sorted(programs, reverse=round % 2 == 1):
                ms = self.fbframe(programs[name])
                if round > 0:  # the first round fills the page cache
                    self.times[name].append(ms)
        say("first frames (ms): " + "; ".join(f"{n.split(': ')[1]} {v}" for n, v in self.times.items() if "first" in n))

    def menu_pids(self):
        return self.m.shell("pidof powermenu").split()

    def expect_menu(self, name, focused, timeout=60):
        problem = [None]

        def shows():
            problem[0] = self.theme.check_menu(self.m.screendump(), focused)
            return problem[0] is None
        try:
            wait_for(f"the menu with {focused} highlighted", shows, timeout, 0.5)
        except WalkFailed as e:
            raise WalkFailed(f"{e}; the last screen ({self.m.save_screen(name + '-FAILED')}): {problem[0]}")
        say(f"screen {self.m.save_screen(name)}: the menu picture over the whole screen, highlight on {focused}")

    def open_menu(self, name):
        if self.timed:
            self.m.shell(f"(cd {THEME} && {HOST}/bench/fbframe -t {120 * slower} {' '.join(self.theme.probes())} -e "
                         ">/run/acpi-frame 2>&1 &)")
            wait_for("fbframe on acpid's socket", lambda: "listening" in self.m.shell("cat /run/acpi-frame"), 30, 0.5)
        self.m.execute("system_powerdown")
        say("pressed the power button (ACPI)")
        self.expect_menu(name, "Power off", 120)
        pids = wait_for("one powermenu process", self.menu_pids, 30, 1)
        if len(pids) != 1:
            raise WalkFailed(f"{len(pids)} menus run after one press")
        if self.timed:
            timed = wait_for("fbframe's time", lambda: re.search(r"content_ms=([\d.]+) event=\"([^\"]*)",
                                                                 self.m.shell("cat /run/acpi-frame")), 30, 0.5)
            self.times["ACPI event to picture"].append(float(timed.group(1)))
            say(f"ACPI event \"{timed.group(2)}\" to the menu's picture on /dev/fb0: {timed.group(1)} ms")
        return pids[0]

    def press(self, qcode, name, focused):
        self.m.key(qcode)
        say(f"pressed {qcode}")
        self.expect_menu(name, focused, 30)

    def cancel(self):
        say("ending 1: Cancel, confirmed by a second press of the power button")
        pid = self.open_menu("cancel-menu-open")
        # Refused, it ends at once with status 1; a menu that opened ends by timeout.
        started = self.m.shell(f"timeout 20 powermenu-launch {THEME} -platform linuxfb; echo status $?")
        if not re.search(r"^status 1\s*$", started, re.M) or self.menu_pids() != [pid]:
            raise WalkFailed(f"a second menu started by hand was not refused: {started.strip()}")
        say("a second menu started by hand while this one is open is refused (status 1)")
        self.press("volumedown", "cancel-focused", "Cancel")
        self.m.shell("acpi_listen >/run/acpi-events 2>&1 & echo $! >/run/acpi-listen.pid")
        # The device's power key opens the menu through acpid and confirms in
        # it through Qt: the second press must confirm, and open nothing.
        self.m.execute("system_powerdown")
        say("pressed the power button again while the menu is open")
        wait_for("acpid to see the second press", lambda: "button/power" in self.m.shell("cat /run/acpi-events"), 30, 1)
        wait_for("the menu to end", lambda: not self.menu_pids(), 30, 1)
        # A menu opened by that press would show within seconds.
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            pids = self.menu_pids()
            if pids:
                raise WalkFailed(f"the press that confirmed Cancel opened the menu again (process {pids})")
            time.sleep(1)
        self.m.shell("kill $(cat /run/acpi-listen.pid)")
        uptime = self.m.shell("cat /proc/uptime").split()[0]
        say("the second press reached acpid, confirmed Cancel and opened no second menu")
        say(f"Cancel ended the menu and ran nothing; the machine is still up ({uptime} s) and answers on the serial console")

    def restart(self):
        say("ending 2: Restart")
        self.open_menu("restart-menu-open")
        self.press("volumeup", "restart-focused", "Restart")
        self.m.key("power")
        say("pressed power: confirm Restart")
        self.catch_poweroff_picture("restart-poweroff-picture")
        wait_for("the kernel's restart message", lambda: "reboot: Restarting system" in self.m.log(), 180, 1)
        say("the serial log shows the restart")
        self.boot(2)

    def power_off(self):
        say("ending 3: Power off, after a round of the top row")
        self.open_menu("poweroff-menu-open")
        for name, focused in (("focus-restart", "Restart"), ("focus-flash", "Flash"), ("focus-poweroff", "Power off")):
            self.press("volumeup", name, focused)
        self.m.key("power")
        say("pressed power: confirm Power off")
        self.catch_poweroff_picture("poweroff-poweroff-picture")
        try:
            status = self.m.process.wait(180)
        except subprocess.TimeoutExpired:
            raise WalkFailed("QEMU still runs 180 s after Power off was confirmed")
        if "reboot: Power down" not in self.m.log():
            raise WalkFailed("QEMU ended, but the serial log has no power-down message")
        say(f"the machine powered off: QEMU ended by itself with status {status}")

    def catch_poweroff_picture(self, name):
        """The power-off picture shows while the item's script runs; once
        the menu has gone the console takes the screen back, so look fast."""
        deadline = time.monotonic() + 5
        while time.monotonic() < deadline:
            try:
                screen = self.m.screendump()
            except (WalkFailed, OSError):
                break
            if self.theme.check_poweroff(screen) is None:
                say(f"screen {self.m.save_screen(name)}: the power-off picture over the whole screen")
                return
        say("the power-off picture was not caught on a screenshot (the script was quicker)")


def kvm_works(image, arch):
    """Whether KVM runs a guest here: a kernel that boots to its first
    message within a short time. /dev/kvm alone proves nothing."""
    if arch != "amd64" or not os.access("/dev/kvm", os.R_OK | os.W_OK):
        return False
    try:
        result = subprocess.run(
            ["qemu-system-x86_64", "-accel", "kvm", "-m", "256", "-display", "none", "-no-reboot",
             "-kernel", os.path.join(image, "vmlinuz"), "-append", "console=ttyS0 panic=-1",
             "-serial", "stdio", "-nic", "none"], capture_output=True, timeout=20)
        return b"Linux version" in result.stdout
    except subprocess.TimeoutExpired:
        return False


def report_times(walk, out):
    """Medians of the device's timings, printed and kept in timings.txt."""
    lines = [f"{name}: median {statistics.median(ms):.1f} ms of {len(ms)} ({', '.join(map(str, ms))})"
             for name, ms in walk.times.items() if ms]
    if walk.times["first frame: minimal Qt"]:
        ratio = statistics.median(walk.times["first frame: powermenu"]) / statistics.median(
            walk.times["first frame: minimal Qt"])
        lines.append(f"first frame on linuxfb, powermenu / minimal Qt: {ratio:.2f}")
    with open(os.path.join(out, "timings.txt"), "w") as f:
        f.write("".join(line + "\n" for line in lines))
    for line in lines:
        say(line)


def walk_on(platform, image, arch, bench, out, accel):
    """The three endings on one machine, the menu on the given Qt platform."""
    out = os.path.join(out, platform)
    shutil.rmtree(out, ignore_errors=True)
    # The folder is the device's /run/host as well: the bench programs go in, the theme comes out.
    shutil.copytree(bench, os.path.join(out, "bench"), ignore=lambda folder, names: [
        n for n in names if n not in ("fbframe", "qt_min")])
    say(f"on {platform}: booting a {arch} machine from the image ({accel})")
    machine = Machine(image, out, accel, arch)
    walk = Walk(machine, platform == "linuxfb")
    try:
        walk.boot(1)
        walk.make_theme()
        if platform != "linuxfb":
            # As a user would: the setting at the top of acpid's script.
            machine.shell(f"sed -i 's/^platform=linuxfb$/platform={platform}/' /etc/acpi/powermenu.sh")
            say(f"acpid's script set to platform={platform}")
        else:
            walk.time_first_frames()
        walk.cancel()
        walk.restart()
        walk.power_off()
    except WalkFailed as e:
        say(f"FAILED on {platform}: {e}")
        say(f"serial log: {machine.serial_log}; screenshots in {out}")
        return False
    finally:
        machine.stop()
    report_times(walk, out)
    say(f"on {platform}: all three endings proven; screenshots and logs in {out}")
    return True


def main():
    global slower
    if len(sys.argv) < 6 or sys.argv[2] not in MACHINES:
        sys.exit(__doc__)
    image, arch, bench, out, *platforms = sys.argv[1:]
    # Stopped from outside, the walk still stops its QEMU.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    accel = "kvm" if kvm_works(image, arch) else "tcg"
    slower = 1 if accel == "kvm" else EMULATED_SLOWER
    say(f"KVM {'runs a guest here' if accel == 'kvm' else 'is not usable here'}: booting with {accel}")
    return 0 if all([walk_on(platform, image, arch, bench, out, accel) for platform in platforms]) else 1


if __name__ == "__main__":
    sys.exit(main())
