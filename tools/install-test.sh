#!/usr/bin/env bash
# Installs the package into a fresh Debian root and tries it there:
#   tools/install-test.sh [--release trixie] [DEB]
# Builds the .deb with tools/build-deb.sh unless DEB is given, makes a
# minimal root of the release (bookworm, Debian 12, unless told) with
# mmdebstrap from this machine's Debian mirror, with the package installed
# by apt (its Depends alone, no Recommends), then in that root: runs
# powermenu-check on the default theme when the package has it, starts
# powermenu-launch on a virtual X display of this machine, checks that the
# default theme's menu is on the screen, ends it with F2 and checks its exit
# status. A package built on Debian 13 needs its newer C library: try it on
# the release it was built on. Needs root. About a minute, most of it
# mmdebstrap.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/ensure-deps.sh
source tools/debian-mirror.sh

say() { echo "install-test: $*"; }
fail() { echo "install-test: FAILED: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "needs root (mmdebstrap and chroot); run it with sudo"
ensure_deps mmdebstrap xvfb xdotool x11-apps imagemagick dpkg-dev file
started=$(date +%s)
release=bookworm
if [ "${1:-}" = --release ]; then
    release=$2
    shift 2
fi
case $release in
    bookworm) debian=12 ;;
    trixie) debian=13 ;;
    *) fail "no install test on \"$release\": bookworm or trixie" ;;
esac

deb=${1:-}
if [ -z "$deb" ]; then
    tools/build-deb.sh
    deb=$(ls build/deb/package/powermenu_*.deb)
fi
[ -f "$deb" ] || fail "no package at $deb"

mirror=$(debian_mirror)
[ -n "$mirror" ] || fail "no apt source for bookworm in /etc/apt/sources.list or /etc/apt/sources.list.d"

work=$(mktemp -d /tmp/powermenu-install-test.XXXXXX)
root=$work/root
xvfb_pid= menu_pid=
cleanup() {
    set +e
    if [ -n "$menu_pid" ]; then kill "$menu_pid" 2>/dev/null; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; fi
    # mmdebstrap mounts /proc and /sys inside the root while it works; an
    # interrupted run can leave them, and nothing must be deleted through a mount.
    awk -v r="$root/" 'index($2, r) == 1 { print $2 }' /proc/mounts | sort -r | xargs -r umount -l
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT

say "making a minimal Debian $debian root from $mirror in $root, with $(basename "$deb") installed by apt"
mmdebstrap --variant=minbase --aptopt='APT::Install-Recommends "false"' \
    --customize-hook="copy-in $(realpath "$deb") /tmp" \
    --customize-hook="chroot \"\$1\" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q /tmp/$(basename "$deb")" \
    "$release" "$root" "deb $mirror $release main" >"$work/mmdebstrap.log" 2>&1 ||
    { tail -20 "$work/mmdebstrap.log" >&2; fail "mmdebstrap could not make the root or install the package (log above)"; }
inside() { chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root "$@"; }

if [ -x "$root/usr/bin/powermenu-check" ]; then
    say "running powermenu-check on the installed default theme"
    inside powermenu-check /usr/share/powermenu/themes/default || fail "powermenu-check found problems in the default theme"
else
    say "this package has no powermenu-check; checking the menu on a display only"
fi

status=0
inside powermenu-launch /nonexistent-theme 2>"$work/missing.err" || status=$?
[ "$status" -eq 2 ] || fail "powermenu-launch with a missing theme exited with $status, not 2"

# The root shares this machine's network namespace, so its X clients reach
# an X server started out here through the server's abstract socket.
say "starting powermenu-launch inside the root on a virtual X display"
exec {display_fd}>"$work/display"
Xvfb -displayfd "$display_fd" -screen 0 240x320x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec {display_fd}>&-
deadline=$((SECONDS + 30))
until [ -s "$work/display" ]; do
    [ $SECONDS -lt $deadline ] || fail "Xvfb did not start (log: $(cat "$work/xvfb.log"))"
    sleep 0.2
done
display=:$(head -1 "$work/display")
# The time limit only keeps a menu that ignores F2 from hanging the test.
timeout 300 chroot "$root" env -i PATH=/usr/bin:/bin HOME=/root DISPLAY="$display" powermenu-launch \
    >"$work/menu.log" 2>&1 &
menu_pid=$!

deadline=$((SECONDS + 60))
until window=$(DISPLAY=$display xdotool search --onlyvisible --name '^shut_down$' 2>/dev/null | head -1) && [ -n "$window" ]; do
    kill -0 "$menu_pid" 2>/dev/null || fail "powermenu ended before its window appeared: $(cat "$work/menu.log")"
    [ $SECONDS -lt $deadline ] || fail "no powermenu window after 60 s"
    sleep 0.3
done

# The menu picture fills the 240x320 screen; only the dotted focus frame
# around the middle item differs from it. Wait until a screenshot shows
# that, since the first paint may come a little after the window.
picture=$root/usr/share/powermenu/themes/default/velmorine.png
deadline=$((SECONDS + 30))
while :; do
    DISPLAY=$display xwd -root -silent | /usr/bin/convert xwd:- "$work/screen.png"
    differing=$(/usr/bin/compare -metric AE "$work/screen.png" "$picture" null: 2>&1 || true)
    [ "${differing%%.*}" -gt 0 ] 2>/dev/null && [ "${differing%%.*}" -lt 1000 ] && break
    [ $SECONDS -lt $deadline ] || fail "the screen does not show the default theme (pixels differing from its picture: $differing)"
    sleep 0.5
done
say "the default theme's menu is on the screen ($differing pixels of focus frame over the picture)"

kill -0 "$menu_pid" 2>/dev/null || fail "the menu ended before F2 was pressed: $(cat "$work/menu.log")"
DISPLAY=$display xdotool key F2 || fail "xdotool could not press F2"
status=0
wait "$menu_pid" || status=$?
menu_pid=
[ "$status" -eq 1 ] || fail "the menu ended with status $status after F2, not 1: $(cat "$work/menu.log")"

say "PASSED in $(($(date +%s) - started)) s: installed on Debian $debian, the menu showed the default theme and F2 ended it with status 1"
