#!/usr/bin/env bash
# Builds powermenu and runs its whole test suite with CTest.
#   tools/test.sh              plain debug build in build/test
#   tools/test.sh --sanitize   AddressSanitizer + UBSan build in build/sanitize
# Extra arguments after the mode go to ctest (e.g. -L e2e, -R reader).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
ensure_deps "${powermenu_test_packages[@]}"

build=build/test
flags=(-DCMAKE_BUILD_TYPE=Debug)
if [ "${1:-}" = --sanitize ]; then
    shift
    build=build/sanitize
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOWERMENU_SANITIZE=ON)
    # Qt's own libraries keep some allocations until exit; leaks in our code
    # are looked for by the valgrind run instead.
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

echo "powermenu: configuring and building in $build"
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
echo "powermenu: running the tests"
ctest --test-dir "$build" --output-on-failure "$@"
