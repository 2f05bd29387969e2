#!/usr/bin/env bash
# Builds the drawing micro-benchmarks (Release, in build/bench) and runs
# them on Qt's offscreen platform: one paint of the menu, one key-to-paint
# cycle and the plain copy-and-blit drawing, at 240x320, 1080x2400 and
# 3840x2160. Arguments go to the benchmark (Qt Test options, e.g. -median 7).
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/tools/ensure-deps.sh"
ensure_deps
echo "bench: building the paint benchmark (Release) in build/bench"
cmake -S "$repo" -B "$repo/build/bench" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=ON >/dev/null
cmake --build "$repo/build/bench" --target paint_benchmark -j2 >/dev/null
echo "bench: load: $(cat /proc/loadavg) (timings mean something only on an idle machine)"
QT_QPA_PLATFORM=offscreen "$repo/build/bench/bench/paint_benchmark" "$@"
