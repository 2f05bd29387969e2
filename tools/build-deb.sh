#!/usr/bin/env bash
# Builds the Debian package: tools/build-deb.sh [--arch arm64] [BUILD_DIR]
# A build under /usr with Debian's hardening flags, packed by CPack into
# BUILD_DIR/package/powermenu_VERSION_ARCH.deb (BUILD_DIR defaults to build/deb
# in the source tree; a relative one is taken from the current folder).
# With --arch arm64 it is cross-built for arm64 phones, against the arm64
# libraries installed beside the native ones (Debian's multiarch).
# Warnings are not errors here: the hardening flags bring warnings of their
# own, and a package build should not break on a new compiler's opinion.
set -euo pipefail
arch=$(dpkg --print-architecture)
if [ "${1:-}" = --arch ]; then
    arch=$2
    shift 2
fi
build=$(realpath -m -- "${1:-$(dirname "$0")/../build/deb}")
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh

cross=()
if [ "$arch" != "$(dpkg --print-architecture)" ]; then
    [ "$arch" = arm64 ] || { echo "powermenu: cross-builds for arm64 only, not $arch" >&2; exit 2; }
    ensure_arm64_build
    cross=(-DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/cross/aarch64-linux-gnu.cmake")
fi
ensure_deps dpkg-dev file

eval "$(DEB_HOST_ARCH=$arch DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
echo "powermenu: configuring and building the $arch package build in $build"
cmake -S . -B "$build" "${cross[@]}" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF -DPOWERMENU_WERROR=OFF \
    -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
cmake --build "$build" -j2 >/dev/null
echo "powermenu: packing the .deb"
rm -f "$build"/package/powermenu_*.deb
if ! (cd "$build" && cpack -G DEB) >"$build/cpack.log" 2>&1; then
    cat "$build/cpack.log" >&2
    echo "powermenu: cpack failed to make the package (log above, also in $build/cpack.log)" >&2
    exit 1
fi
deb=$(ls "$build"/package/powermenu_*.deb)
echo "powermenu: built $deb"
echo "powermenu: install it with: apt install $deb"
