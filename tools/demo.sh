#!/usr/bin/env bash
# Builds powermenu and runs it with the sample theme.
# With a display (DISPLAY or WAYLAND_DISPLAY set) the menu opens there for you to use.
# Without one it runs on a virtual X display, presses Right, Right, Return,
# and saves a screenshot after each step.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
source tools/ensure-deps.sh
ensure_deps

build=build/demo
echo "powermenu: building in $build (the first build takes a minute or two)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target powermenu >/dev/null
menu=$top/$build/powermenu
theme=$top/themes/default

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "powermenu: opening the menu with the sample theme (arrows move, Return confirms, F2 quits)"
    cd "$theme"
    exec "$menu"
fi

# The virtual display, the key presses and the screenshots need more.
ensure_deps xvfb xdotool x11-apps imagemagick
shots=$(mktemp -d /tmp/powermenu-demo-XXXXXX)
xvfb_pid='' menu_pid=''
cleanup() {
    [ -n "$menu_pid" ] && kill "$menu_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    return 0
}
trap cleanup EXIT

echo "powermenu: no display found; starting a virtual 240x320 X display"
exec 3< <(Xvfb -displayfd 1 -screen 0 240x320x24 -nolisten tcp -noreset 2>/dev/null)
xvfb_pid=$!
read -r -t 10 number <&3 || { echo "powermenu: the virtual display did not start (Xvfb)" >&2; exit 1; }
export DISPLAY=:$number

screen_sum() { xwd -root -silent | md5sum; }
blank=$(screen_sum)
(cd "$theme" && exec "$menu" >"$shots/script-output.txt" 2>"$shots/menu-errors.txt") &
menu_pid=$!
window=$(timeout 10 xdotool search --sync --name '^shut_down$' | head -n 1) ||
    { echo "powermenu: the menu window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$window"

shoot() { xwd -root -silent | /usr/bin/convert xwd:- "$shots/$1.png"; echo "  $shots/$1.png"; }
# Waits until the screen differs from the given checksum, for at most 5 s.
wait_for_change() {
    local before=$1 i
    for i in $(seq 100); do
        [ "$(screen_sum)" != "$before" ] && return 0
        kill -0 "$menu_pid" 2>/dev/null || return 0
        sleep 0.05
    done
}

echo "powermenu: screenshots"
wait_for_change "$blank"
shoot 1-start
step=2
for key in Right Right; do
    before=$(screen_sum)
    xdotool key "$key"
    wait_for_change "$before"
    shoot "$step-after-$key"
    step=$((step + 1))
done
# The pressed item and the power-off picture last only until the script
# ends, so keep every new frame until the menu is gone.
last=$(screen_sum)
xdotool key Return
frame=1
while kill -0 "$menu_pid" 2>/dev/null; do
    xwd -root -silent >"$shots/frame.xwd" 2>/dev/null || break
    sum=$(md5sum <"$shots/frame.xwd")
    if [ "$sum" != "$last" ] && [ "$sum" != "$blank" ]; then
        /usr/bin/convert xwd:"$shots/frame.xwd" "$shots/$step-after-Return-$frame.png"
        echo "  $shots/$step-after-Return-$frame.png"
        frame=$((frame + 1))
        last=$sum
    fi
done
rm -f "$shots/frame.xwd"

status=0
wait "$menu_pid" || status=$?
menu_pid=''
echo "powermenu: the menu ended with exit status $status"
echo "powermenu: the chosen script printed:"
sed 's/^/  /' "$shots/script-output.txt"
