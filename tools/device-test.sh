#!/usr/bin/env bash
# A real device, end to end, in a virtual machine:
#   sudo tools/device-test.sh [--if-cached]
# Builds the package (tools/build-deb.sh), makes a Debian 12 disk image with
# it and the acpid and logind bindings from its examples (tools/device-image.sh,
# cached in /var/cache/powermenu-device-test, keyed by the package), boots it
# under QEMU with a 720x1440 framebuffer and walks the menu with the power
# button and the phone's keys (tools/device_walk.py): Cancel, Restart and
# Power off, each for real. Screenshots and the serial log go to
# build/device-test/. With --if-cached it does nothing unless the image's
# base root is already made (a cold run takes many minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh

cache=${POWERMENU_DEVICE_CACHE:-/var/cache/powermenu-device-test}
out=build/device-test
# Every step of the three tools prints its time since this start.
export POWERMENU_DEVICE_TEST_STARTED=$(date +%s)
step() { printf 'device-test: [%4ds] %s\n' $(($(date +%s) - POWERMENU_DEVICE_TEST_STARTED)) "$*"; }
fail() { echo "device-test: FAILED: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap and chroot make the image); run it with sudo"
ensure_deps debootstrap e2fsprogs qemu-system-x86 qemu-utils

step "building the package"
tools/build-deb.sh build/deb >/dev/null
deb=$(ls build/deb/package/powermenu_*.deb)
if [ "${1:-}" = --if-cached ] && ! tools/device-image.sh --base-cached "$deb" "$cache"; then
    step "no cached device image in $cache: skipped (run tools/device-test.sh once to make it)"
    exit 0
fi

step "making the device image (or taking it from $cache)"
image=$(tools/device-image.sh "$deb" "$cache") || fail "no device image"

step "booting it and walking the menu"
python3 tools/device_walk.py "$image" themes/default "$out" || fail "the walk failed (serial log: $out/serial.log)"
step "done: screenshots and serial log in $out"
