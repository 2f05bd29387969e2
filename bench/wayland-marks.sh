#!/usr/bin/env bash
# Where powermenu's first frame under Wayland goes: starts a private headless sway as the shared
# Wayland harness does (pixman, nobody, black background) and runs powermenu in the sample theme
# with WAYLAND_DEBUG=1, N times. Prints medians, in ms from exec: the first request (connected),
# the first configure, the first commit, the commit of the first full-screen buffer, and when
# grim first sees the screen change (what bench/wayland.sh times; grim's capture is part of it).
#
#   bench/wayland-marks.sh [-n RUNS] [-s WxH] [-b POWERMENU]
# Runs as root (sway runs as nobody); needs sway and grim (bench/wayland.sh installs them).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
runs=9; size=720x1440; binary=$repo/build/bench/powermenu
while getopts "n:s:b:h" opt; do
    case $opt in
        n) runs=$OPTARG ;; s) size=$OPTARG ;; b) binary=$OPTARG ;;
        *) sed -n '2,9p' "$0"; exit 2 ;;
    esac
done
root=$(mktemp -d /tmp/powermenu-marks-XXXXXX); chmod 711 "$root"
printf 'output HEADLESS-1 mode %s position 0 0\nxwayland disable\ndefault_border none\noutput * bg #000000 solid_color\n' \
    "$size" > "$root/sway.conf"
chmod 644 "$root/sway.conf"
mkdir -m 700 "$root/sway-run" "$root/client-run"; chown 65534:65534 "$root/sway-run"
setsid env -i PATH=/usr/bin:/bin HOME="$root" XDG_RUNTIME_DIR="$root/sway-run" WLR_BACKENDS=headless \
    WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman setpriv --reuid=65534 --regid=65534 --clear-groups \
    sway -c "$root/sway.conf" > "$root/sway.log" 2>&1 &
sway=$!
trap 'kill $sway 2>/dev/null; rm -rf "$root"' EXIT
for _ in $(seq 200); do
    socket=$(ls "$root"/sway-run/wayland-[0-9] 2>/dev/null | head -n1) && [ -n "$socket" ] && break; sleep 0.05
done
export XDG_RUNTIME_DIR="$root/client-run" WAYLAND_DISPLAY="$socket"
unset DISPLAY
sleep 1
echo "bench: load before: $(cut -d' ' -f1-3 /proc/loadavg)"
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")
python3 - "$runs" "$binary" "$repo/themes/default" "$size" <<'PY'
import os, re, statistics, subprocess, sys, time
runs, binary, theme, size = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4].replace("x", ", ")
shot = lambda: subprocess.run(["grim", "-t", "ppm", "-"], capture_output=True).stdout
empty, marks = shot(), {}
for _ in range(runs):
    start = time.time()
    proc = subprocess.Popen([binary, "-platform", "wayland"], cwd=theme, stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, env=dict(os.environ, WAYLAND_DEBUG="1"))
    seen = None
    while time.time() - start < 10 and seen is None:
        seen = (time.time() - start) * 1000 if shot() != empty else None
    proc.kill()
    log = proc.stderr.read().decode(errors="replace")
    proc.wait()
    # libwayland stamps each message with the wall clock's microseconds cut to 32 bits, in ms.
    base, wrap = (int(start * 1e6) % 2**32) / 1000, 2**32 / 1000
    found, full_buffer = {"grim sees the change": seen}, False
    for stamp, text in re.findall(r"\[ *(\d+\.\d+)\] (.*)", log):
        at = (float(stamp) - base) % wrap
        full_buffer |= "create_buffer" in text and f", {size}," in text
        for name, pattern in (("connected", " -> "), ("first configure", "xdg_surface@\\d+\\.configure"),
                              ("first commit", " -> wl_surface@\\d+\\.commit"),
                              ("full-screen commit", " -> wl_surface@\\d+\\.commit" if full_buffer else "^$")):
            if name not in found and re.search(pattern, text):
                found[name] = at
    time.sleep(0.4)
    for name, at in found.items():
        marks.setdefault(name, []).append(at)
for name, values in marks.items():
    values = [v for v in values if v is not None]
    print(f"{name:22} median {statistics.median(values):6.1f} ms  [{min(values):.1f}-{max(values):.1f}]  ({len(values)} of {runs})")
PY
echo "bench: load after: $(cut -d' ' -f1-3 /proc/loadavg)"
