#!/usr/bin/env bash
# A real device, end to end, in a virtual machine:
#   sudo tools/device-test.sh [--if-cached] [--release trixie --deb DEB] [amd64|arm64] [linuxfb] [eglfs]
# Builds the package for the device's architecture (this machine's by
# default; arm64, as phones are, is cross-built and emulated), makes a
# Debian 12 disk image with it and the acpid and logind bindings from its
# examples (tools/device-image.sh, cached in
# /var/cache/powermenu-device-test/ARCH, keyed by the package), boots it
# under QEMU with a 720x1440 framebuffer and walks the menu with the power
# button and the phone's keys (tools/device_walk.py), on each Qt platform
# named (both by default): the device makes its own full-screen theme, the
# menu's start is timed on the framebuffer, and Cancel, Restart and Power
# off each end it for real. Screenshots, timings and the serial log go to
# build/device-test/ARCH/. With --if-cached it does nothing unless the
# image's base root is already made (a cold run takes many minutes).
# With --release trixie the device runs Debian 13, as phones on Mobian do,
# with the package DEB built there (tools/trixie-test.sh builds it), cached
# in /var/cache/powermenu-device-test/trixie/device-ARCH, its results in
# build/device-test/trixie-ARCH/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh

if_cached=false
release=bookworm
deb=
while [ $# -gt 0 ]; do
    case $1 in
        --if-cached) if_cached=true; shift ;;
        --release) release=$2; shift 2 ;;
        --deb) deb=$(realpath "$2"); shift 2 ;;
        *) break ;;
    esac
done
arch=$(dpkg --print-architecture)
[ -z "$deb" ] || arch=$(dpkg-deb -f "$deb" Architecture)
case ${1:-} in
    amd64 | x86-64 | x86_64) arch=amd64; shift ;;
    arm64 | aarch64) arch=arm64; shift ;;
esac
platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=(linuxfb eglfs)
cache=${POWERMENU_DEVICE_CACHE:-/var/cache/powermenu-device-test}/$arch
out=build/device-test/$arch
if [ "$release" != bookworm ]; then
    cache=${cache%/*}/$release/device-$arch
    out=build/device-test/$release-$arch
fi
# Every step of the three tools prints its time since this start.
export POWERMENU_DEVICE_TEST_STARTED=$(date +%s)
step() { printf 'device-test: [%4ds] %s\n' $(($(date +%s) - POWERMENU_DEVICE_TEST_STARTED)) "$*"; }
fail() { echo "device-test: FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap and chroot make the image); run it with sudo"
for platform in "${platforms[@]}"; do
    case $platform in linuxfb | eglfs) ;; *) fail "no walk on the Qt platform \"$platform\": linuxfb or eglfs" ;; esac
done
ensure_deps mmdebstrap e2fsprogs qemu-utils imagemagick python3
cross=()
if [ "$arch" = arm64 ]; then
    ensure_deps qemu-system-arm arch-test qemu-user-static binfmt-support
    # The arm64 root's package scripts run through qemu-user.
    mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
    [ -e /proc/sys/fs/binfmt_misc/qemu-aarch64 ] || update-binfmts --enable qemu-aarch64 ||
        fail "cannot run arm64 programs through qemu-user (update-binfmts --enable qemu-aarch64)"
    cross=(-DCMAKE_TOOLCHAIN_FILE="$PWD/packaging/cross/aarch64-linux-gnu.cmake")
else
    ensure_deps qemu-system-x86
fi

if [ -n "$deb" ]; then
    step "the $arch package $deb"
elif [ "$release" = bookworm ]; then
    step "building the $arch package"
    tools/build-deb.sh --arch "$arch" "build/deb-$arch" >/dev/null
    deb=$(ls "build/deb-$arch"/package/powermenu_*.deb)
else
    fail "a device on $release needs a package built there: --deb DEB"
fi
if $if_cached && ! tools/device-image.sh --base-cached --release "$release" "$deb" "$cache"; then
    step "no cached device image in $cache: skipped (run tools/device-test.sh $arch once to make it)"
    exit 0
fi
step "building the device's bench programs"
bench=build/device-bench-$arch
cmake -S bench/device -B "$bench" "${cross[@]}" >/dev/null && cmake --build "$bench" -j2 >/dev/null ||
    fail "the bench programs did not build"
# The cache's layout before it held one folder for each architecture.
rm -rf --one-file-system "${cache%/*}"/base-* "${cache%/*}"/image-*

step "making the device image (or taking it from $cache)"
image=$(tools/device-image.sh --release "$release" "$deb" "$cache") || fail "no device image"

step "booting it and walking the menu"
python3 tools/device_walk.py "$image" "$arch" "$bench" "$out" "${platforms[@]}" ||
    fail "the walk failed (serial log: $out/PLATFORM/serial.log)"
step "done: screenshots, timings and serial log in $out"
