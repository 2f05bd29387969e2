#!/usr/bin/env bash
# Times powermenu's first frame under a headless sway with the shared Wayland harness
# (../shared/bench/wayland/first-frame.sh), beside Debian's wlogout (the layer-shell power menu
# a Wayland user would otherwise pick) and the first-frame harness's minimal Qt 6 program, in
# the sample theme. It runs twice: with sway's default transaction timeout (200 ms) and with it
# cut to 30 ms; a first frame that is no faster with the short timeout does not wait for it.
#
#   bench/wayland.sh [-n RUNS] [-s WxH] [-o OUTDIR] [-H HARNESS_DIR] [-b POWERMENU] [-c NAME=POWERMENU]...
#
#   -n  runs per program (default 9)       -s  screen size (default 720x1440)
#   -H  the folder holding wayland/ and firstframe/ (default: ../shared/bench beside the repository)
#   -b  a built powermenu to time (default: a Release build in build/bench)
#   -c  another powermenu build timed beside it, e.g. -c before=/tmp/old/powermenu
# Runs as root (sway itself runs as nobody); installs sway, grim and wlogout when missing.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
runs=9; size=720x1440; out=""; harness="$repo/../shared/bench"; binary=""; others=()
while getopts "n:s:o:H:b:c:h" opt; do
    case $opt in
        n) runs=$OPTARG ;; s) size=$OPTARG ;; o) out=$OPTARG ;; H) harness=$OPTARG ;; b) binary=$OPTARG ;;
        c) [[ $OPTARG == ?*=?* && -x ${OPTARG#*=} ]] || { echo "bench: -c wants NAME=POWERMENU, an executable" >&2; exit 2; }
           others+=("$OPTARG") ;;
        *) sed -n '2,14p' "$0"; exit 2 ;;
    esac
done
if [ ! -x "$harness/wayland/first-frame.sh" ] || [ ! -f "$harness/firstframe/qt_min.cpp" ]; then
    echo "bench: the shared harness is not at '$harness' (wayland/first-frame.sh, firstframe/qt_min.cpp); give its folder with -H" >&2
    exit 1
fi
if [ "$(id -u)" -ne 0 ]; then
    echo "bench: run as root: the harness starts sway as the user nobody" >&2
    exit 1
fi
out=${out:-/tmp/powermenu-wayland-$(date +%Y%m%d-%H%M%S)}
mkdir -p "$out"

source "$repo/tools/ensure-deps.sh"
ensure_deps wlogout

if [ -z "$binary" ]; then
    echo "bench: building powermenu (Release) in build/bench"
    cmake -S "$repo" -B "$repo/build/bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
    cmake --build "$repo/build/bench" --target powermenu -j2 >/dev/null
    binary=$repo/build/bench/powermenu
fi
binary=$(cd "$(dirname "$binary")" && pwd)/$(basename "$binary")
# shellcheck disable=SC2046
g++ -O2 -fPIC -o "$out/qt_min" "$harness/firstframe/qt_min.cpp" $(pkg-config --cflags --libs Qt6Widgets)

extra=(-x "qt-min=$out/qt_min -platform wayland velmorine.png")
for build in "${others[@]}"; do extra+=(-x "${build%%=*}=${build#*=} -platform wayland"); done

for timeout in default 30; do
    flags=""; [ "$timeout" = default ] || flags="-D txn-timeout=$timeout"
    echo "bench: load before: $(cut -d' ' -f1-3 /proc/loadavg); sway transaction timeout: $timeout"
    SWAY_FLAGS=$flags "$harness/wayland/first-frame.sh" --bin "$binary" --theme "$repo/themes/default" \
        -n "$runs" --size "$size" "${extra[@]}" | tee "$out/txn-$timeout.txt"
done
echo "bench: load after: $(cut -d' ' -f1-3 /proc/loadavg); raw results in $out"
