#!/usr/bin/env bash
# Runs one whole menu session under valgrind's memcheck on a private Xvfb:
# start, move right, confirm, the item script, exit.
#   tools/memcheck.sh
# Passes when memcheck reports no error; reports from inside Qt, X and GLib
# that never pass through the menu's own code are listed in
# tests/reliability/memcheck.supp.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
ensure_deps "${powermenu_test_packages[@]}" valgrind

build=build/test
log=build/memcheck/valgrind.log
echo "powermenu: building in $build"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" --target powermenu -j"$(nproc)" >/dev/null
mkdir -p "$(dirname "$log")"
if python3 -B tests/reliability/memcheck_session.py "$build/powermenu" "$log" tests/reliability/memcheck.supp; then
    echo "powermenu: memcheck found no error; the full report is in $log"
else
    echo "powermenu: memcheck run failed; the full report is in $log" >&2
    exit 1
fi
