#!/usr/bin/env bash
# Times the whole powermenu process under Xvfb beside two reference programs
# (the shared first-frame harness's minimal Qt 6 Widgets program and its
# Xlib + libpng program) and prints medians and ratios: first frame, key to
# frame (a Right press until the moved highlight is on screen), key to exit
# (F2) and peak memory.
#
#   bench/run.sh [-n RUNS] [-s "240x320 1080x2400"] [-o OUTDIR] [-H HARNESS_DIR] [-b POWERMENU]
#                [-c NAME=POWERMENU]...
#
#   -n  rounds per program and size (default 11; a warm-up round is added)
#   -H  the first-frame harness (default: ../shared/bench/firstframe beside the repository)
#   -b  a built powermenu to time (default: a Release build in build/bench)
#   -c  another powermenu build timed beside it, e.g. -c before=/tmp/old/powermenu
# Needs Xvfb, ImageMagick and the X11 development packages (see tools/ensure-deps.sh).
# The timings mean something only on an otherwise idle machine: it prints the load.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
runs=11; sizes="240x320 1080x2400"; out=""; harness="$repo/../shared/bench/firstframe"; binary=""; others=()
while getopts "n:s:o:H:b:c:h" opt; do
    case $opt in
        n) runs=$OPTARG ;; s) sizes=$OPTARG ;; o) out=$OPTARG ;; H) harness=$OPTARG ;; b) binary=$OPTARG ;;
        c) [[ $OPTARG == ?*=?* && -x ${OPTARG#*=} ]] || { echo "bench: -c wants NAME=POWERMENU, an executable" >&2; exit 2; }
           others+=("$OPTARG") ;;
        *) sed -n '2,16p' "$0"; exit 2 ;;
    esac
done
if [ ! -x "$harness/run_all.sh" ]; then
    echo "bench: the first-frame harness is not at '$harness'; give its folder with -H" >&2
    exit 1
fi
harness=$(cd "$harness" && pwd)
out=${out:-/tmp/powermenu-bench-$(date +%Y%m%d-%H%M%S)}
mkdir -p "$out"
out=$(cd "$out" && pwd)

source "$repo/tools/ensure-deps.sh"
ensure_deps libx11-dev libxdamage-dev libxtst-dev libxres-dev libxext-dev libpng-dev

if [ -z "$binary" ]; then
    echo "bench: building powermenu (Release) in build/bench"
    cmake -S "$repo" -B "$repo/build/bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
    cmake --build "$repo/build/bench" --target powermenu -j2 >/dev/null
    binary=$repo/build/bench/powermenu
fi
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")
builds=("powermenu=$binary" "${others[@]}")
cc -O2 -o "$out/keyframe" "$repo/bench/keyframe.c" -lX11 -lXdamage -lXtst

for size in $sizes; do
    "$repo/bench/make-theme.sh" "$size" "$out/theme-$size" "$harness"
done

# A display number nobody holds, so that parallel test runs are not disturbed.
free_display() {
    local n
    for n in $(seq 140 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { echo "$n"; return; }
    done
    echo "bench: no free X display number between 140 and 199" >&2
    exit 1
}

echo "bench: load before: $(cat /proc/loadavg)" | tee "$out/load.txt"
dnum=$(free_display)
timed=()
for build in "${builds[@]}"; do timed+=(-P "$build"); done
# powermenu reads its theme from the working directory. The harness starts every program from its
# own, so it runs once per size from that size's theme: a wrapper such as env -C would add its
# own start (2 to 3 ms) to powermenu's figures alone.
mkdir -p "$out/firstframe"
: > "$out/firstframe/results.txt"
for size in $sizes; do
    (cd "$out/theme-$size" && "$harness/run_all.sh" -n "$runs" -s "$size" -o "$out/firstframe-$size" -d "$dnum" \
        -O "ref-xlib qt-xcb" -k F2 "${timed[@]}" >/dev/null)
    cat "$out/firstframe-$size/results.txt" >> "$out/firstframe/results.txt"
done
bin=$out/firstframe-${sizes%% *}/bin

# Key to frame: its own Xvfb per size, programs rotated each round like the harness does.
xvfb=""
stop_xvfb() { if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; wait "$xvfb" 2>/dev/null || true; xvfb=""; fi; }
trap stop_xvfb EXIT
: > "$out/keyframe.txt"
for size in $sizes; do
    W=${size%x*}; H=${size#*x}
    mx=$((W/8)); top=$((H/5)); step=$((H*3/20)); bh=$((H/10)); m=$((W/80 > 2 ? W/80 : 2))
    # The highlight of the harness's programs: a red frame around button sel, moved by Down.
    frame() { echo "$((mx - m)),$((top + $1*step + bh/2)),ff0000"; }
    # powermenu's focus outline is a stipple, set where x + y is even: probe the
    # left edge of item i on such a pixel.
    item() {
        local x; x=$(sed -n "s/^$1=//p" "$out/theme-$size/conf.ini")
        local y=$((top + bh/2)); [ $(((x + y) % 2)) -eq 0 ] || y=$((y + 1))
        echo "$x,$y,ff0000"
    }
    png=$out/firstframe-$size/pics/theme-$size.png
    progs=(
        "ref-xlib|-k Down -e Escape -s $(frame 0) -p $(frame 1) -p $(frame 2) -p $(frame 3) -p $(frame 0) -- $bin/ref_xlib $png"
        "qt-xcb|-k Down -e Escape -s $(frame 0) -p $(frame 1) -p $(frame 2) -p $(frame 3) -p $(frame 0) -- $bin/qt_min $png"
    )
    for build in "${builds[@]}"; do
        progs+=("${build%%=*}|-k Right -e F2 -s $(item shut_x) -p $(item reboot_x) -p $(item reflash_x) -p $(item shut_x) -- env -C $out/theme-$size ${build#*=}")
    done
    dnum=$(free_display)
    Xvfb ":$dnum" -screen 0 "${size}x24" -nolisten tcp -noreset >"$out/xvfb-keyframe-$size.log" 2>&1 &
    xvfb=$!
    for _ in $(seq 100); do DISPLAY=":$dnum" xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    echo "bench: key to frame at $size ($runs rounds + 1 warm-up)"
    for round in $(seq 0 "$runs"); do
        for i in "${!progs[@]}"; do
            entry=${progs[$(((i + round) % ${#progs[@]}))]}
            # shellcheck disable=SC2086
            line=$(DISPLAY=":$dnum" "$out/keyframe" -n 4 ${entry#*|} 2>>"$out/keyframe-stderr.txt" || true)
            echo "size=$size name=${entry%%|*} round=$round $line" >> "$out/keyframe.txt"
        done
    done
    stop_xvfb
done
echo "bench: load after: $(cat /proc/loadavg)" | tee -a "$out/load.txt"
python3 "$repo/bench/summarize.py" "$out/firstframe/results.txt" "$out/keyframe.txt" | tee "$out/summary.md"
echo "bench: raw results in $out"
