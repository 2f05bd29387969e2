#!/usr/bin/env bash
# Runs the whole test suite on Debian 13 (trixie), on a Debian 12 machine:
#   sudo tools/trixie-test.sh [CTEST_ARG...]
# Makes a Debian 13 root with mmdebstrap from the mirror that serves this
# machine, with everything the project builds and tests with (and Qt 6's
# layer-shell library, which only Debian 13 has), kept in
# /var/cache/powermenu-device-test/trixie beside the device test's images
# and remade when this script or the package lists change. A copy of this
# tree then runs tools/test.sh inside it, on a throwaway layer over the
# root, in namespaces of its own: its own mounts, its own processes (all of
# them end with it) and a network of loopback alone, so its X and Wayland
# servers meet nobody else's and nothing is downloaded once it starts. The
# build folder is kept with the root, so a second run only rebuilds what
# changed. Then the package that the suite built there is installed with apt
# into a fresh minimal Debian 13 root and started (tools/install-test.sh),
# and walked on a virtual Debian 13 device, as a phone on Mobian runs it
# (tools/device-test.sh, x86-64 and the linuxfb walk alone: the
# emulated arm64 walk takes minutes more, and Debian 12's covers arm64).
# Arguments go to ctest, as with tools/test.sh; with any, the package is
# not installed, since the suite may not have built it.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
source tools/debian-mirror.sh

started=$(date +%s)
say() { printf 'trixie-test: [%4ds] %s\n' $(($(date +%s) - started)) "$*"; }
fail() { echo "trixie-test: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap, mounts and namespaces); run it with sudo"
ensure_deps mmdebstrap util-linux iproute2

cache=${POWERMENU_DEVICE_CACHE:-/var/cache/powermenu-device-test}/trixie
# One run at a time: a second would share the kept build folder, and one
# that remakes the root deletes the root the other runs on.
mkdir -p "$cache"
exec 9>"$cache/lock"
flock 9 || fail "cannot lock $cache/lock"
packages=("${powermenu_build_packages[@]}" "${powermenu_test_packages[@]}")
# Qt 6's layer-shell library, for the Wayland overlay where a build finds it.
optional=(liblayershellqtinterface-dev)

make_root() {
    local work=$cache/making-root mirror
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || fail "no apt source for bookworm in /etc/apt/sources.list or /etc/apt/sources.list.d"
    rm -rf --one-file-system "$cache"/making-root
    mkdir -p "$work"
    say "mmdebstrap: a Debian 13 root from $mirror with ${packages[*]} (log: $work/mmdebstrap.log)"
    # Packages that this mirror's trixie may not carry are installed when
    # it does; the root records which in /etc/powermenu-optional.
    # A root that is only ever copied needs no fsync after each file.
    mmdebstrap --variant=minbase --include="$(IFS=,; echo "${packages[*]}")" --dpkgopt=force-unsafe-io \
        --aptopt='APT::Install-Recommends "false"' \
        --customize-hook='for p in '"${optional[*]}"'; do
                if [ -n "$(chroot "$1" apt-cache show --no-all-versions "$p" 2>/dev/null)" ]; then
                    chroot "$1" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$p" &&
                        echo "$p" >>"$1/etc/powermenu-optional" || exit 1
                fi
            done' \
        --customize-hook='rm -f "$1/etc/dpkg/dpkg.cfg.d/99mmdebstrap"; rm -rf "$1"/var/lib/apt/lists/* "$1"/var/cache/apt/*.bin' \
        trixie "$work/root" "deb $mirror trixie main" >"$work/mmdebstrap.log" 2>&1 ||
        { tail -20 "$work/mmdebstrap.log" >&2; fail "mmdebstrap failed (log above)"; }
    rm -rf --one-file-system "$cache"/root-*
    mv "$work" "$base"
}

key=$({ declare -f make_root; echo "${packages[*]} ${optional[*]}"; } | sha256sum | cut -c1-16)
base=$cache/root-$key
if [ -d "$base/root" ]; then
    say "cached Debian 13 root $base"
else
    make_root
fi
say "Debian $(cat "$base/root/etc/debian_version"); optional packages installed: $(cat "$base/root/etc/powermenu-optional" 2>/dev/null || echo none)"

# The run's changes go to an upper layer that is thrown away; the build
# folder lives beside the root, keyed with it.
run=$(mktemp -d /tmp/powermenu-trixie.XXXXXX)
trap 'rm -rf --one-file-system "$run"' EXIT
mkdir -p "$run/upper" "$run/work" "$run/merged" "$base/build"
say "copying this tree into the root"
mkdir -p "$run/upper/src"
tar -C . --exclude=./build --exclude=./.git -cf - . | tar -C "$run/upper/src" -xf -

say "running tools/test.sh $* inside it (own mounts, processes and loopback network)"
status=0
unshare --mount --pid --net --fork --kill-child \
    env base="$base" run="$run" bash -euc '
        ip link set lo up
        root=$run/merged
        mount -t overlay overlay -o "lowerdir=$base/root,upperdir=$run/upper,workdir=$run/work" "$root"
        mkdir -p "$root/src/build"
        mount --bind "$base/build" "$root/src/build"
        mount -t proc proc "$root/proc"
        mount --rbind /sys "$root/sys"
        mount --rbind /dev "$root/dev"
        mount -t tmpfs -o mode=1777 tmpfs "$root/dev/shm"
        mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
        mount -t tmpfs -o mode=755 tmpfs "$root/run"
        exec chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 TERM=dumb \
            sh -c "cd /src && exec tools/test.sh \"\$@\"" test "$@"
    ' trixie-test "$@" || status=$?
[ "$status" -eq 0 ] || fail "the suite failed on Debian 13 (status $status)"
say "the suite passed on Debian 13"
if [ $# -eq 0 ]; then
    deb=$(ls "$base"/build/test/tests/package/deb-build/package/powermenu_*.deb)
    say "installing and starting the package built there: $deb"
    tools/install-test.sh --release trixie "$deb" || fail "the package built on Debian 13 does not install or start there"
    say "walking it on a virtual Debian 13 device"
    tools/device-test.sh --release trixie --deb "$deb" linuxfb || fail "the package built on Debian 13 failed its device walk"
fi
say "PASSED on Debian 13"
