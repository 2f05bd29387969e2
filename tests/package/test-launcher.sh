#!/usr/bin/env bash
# powermenu-launch run as a key binding runs it: which theme folder the menu
# starts in, which arguments reach it and which status comes back.
#   test-launcher.sh LAUNCHER MENU_PATH THEMES_DIR
# LAUNCHER is built from the installed launcher's template with the menu at
# MENU_PATH and the installed themes in THEMES_DIR; this test puts a stub
# menu there that writes down its working directory and arguments.
set -uo pipefail
source "$(dirname "$0")/checks.sh"
launcher=$(realpath -m "$1") menu=$(realpath -m "$2") themes=$(realpath -m "$3")

work=$(mktemp -d /tmp/powermenu-launch-test.XXXXXX)
trap 'rm -rf "$work" "$menu" "$(dirname "$menu")/"{report,status,pid} "$themes"' EXIT
mkdir -p "$(dirname "$menu")"
cat >"$menu" <<'STUB'
#!/bin/sh
here=$(dirname "$0")
{ pwd; for arg in "$@"; do printf '%s\n' "$arg"; done; } >"$here/report"
echo $$ >"$here/pid"
exit "$(cat "$here/status")"
STUB
chmod +x "$menu"
echo 1 >"$(dirname "$menu")/status"
report=$(dirname "$menu")/report

make_theme() { mkdir -p "$1" && touch "$1/conf.ini"; }
make_theme "$themes/default"
make_theme "$themes/systemd"
make_theme "$work/xdg/powermenu/theme"
make_theme "$work/home/.config/powermenu/theme"
make_theme "$work/elsewhere/mine"
mkdir -p "$work/empty-xdg" "$work/empty-home" "$work/cwd"

# launch ENV_ASSIGNMENT... -- ARG...: runs the launcher from $work/cwd with
# only the given environment; sets status, err and ran (the report's lines).
launch() {
    local env=()
    while [ "$1" != -- ]; do env+=("$1"); shift; done
    shift
    rm -f "$report"
    err=$(cd "$work/cwd" && env -i PATH=/usr/bin:/bin DISPLAY=:0 "${env[@]}" "$launcher" "$@" 2>&1 >/dev/null)
    status=$?
    ran=$(cat "$report" 2>/dev/null || echo "(menu not started)")
}

# The user's theme, and where it is looked for.
launch HOME="$work/home" XDG_CONFIG_HOME="$work/xdg" --
same "XDG_CONFIG_HOME's theme wins over HOME's" "$work/xdg/powermenu/theme" "$ran"
launch HOME="$work/home" --
same "without XDG_CONFIG_HOME, the theme in ~/.config" "$work/home/.config/powermenu/theme" "$ran"
make_theme "$work/cwd/relative/powermenu/theme"
launch HOME="$work/home" XDG_CONFIG_HOME=relative --
same "a relative XDG_CONFIG_HOME is ignored" "$work/home/.config/powermenu/theme" "$ran"

# Without a user theme: the installed default.
launch HOME="$work/empty-home" --
same "no user theme: the installed default" "$themes/default" "$ran"
launch HOME="$work/home" XDG_CONFIG_HOME="$work/empty-xdg" --
same "XDG_CONFIG_HOME without a theme: the default, not HOME's" "$themes/default" "$ran"
launch HOME="$work/home" -- "" -platform offscreen
same "an empty theme name: the user's theme, the name not passed on" \
    "$(printf '%s\n' "$work/home/.config/powermenu/theme" -platform offscreen)" "$ran"

# A theme named on the command line.
launch HOME="$work/home" -- "$work/elsewhere/mine"
same "a theme folder given" "$work/elsewhere/mine" "$ran"
launch HOME="$work/home" -- systemd
same "an installed theme by name" "$themes/systemd" "$ran"
make_theme "$work/cwd/systemd"
launch HOME="$work/home" -- systemd
same "an installed theme wins over a folder of that name here" "$themes/systemd" "$ran"
launch HOME="$work/home" -- ./systemd
same "a path to a folder here names that folder" "$work/cwd/systemd" "$ran"
rm -r "$work/cwd/systemd"
make_theme "$work/cwd/mine"
launch HOME="$work/home" CDPATH="$work/elsewhere" -- mine
same "a theme folder here, whatever CDPATH says" "$work/cwd/mine" "$ran"

mkdir -p "$work/cwd/etc"
launch HOME="$work/home" -- "$work/cwd/etc"
contains "a folder without theme files: a warning" "$err" "holds none of a theme's files"
same "a folder without theme files: the menu still starts" "$work/cwd/etc" "$ran"

# No display and no platform named: a plain message instead of Qt's abort.
launch HOME="$work/home" DISPLAY= --
same "no display: status 2" 2 "$status"
contains "no display: says how to use the framebuffer" "$err" "-platform linuxfb"
same "no display: the menu does not start" "(menu not started)" "$ran"
launch HOME="$work/home" DISPLAY= -- -platform linuxfb
same "no display but a platform named: the menu starts" "$(printf '%s\n' "$work/home/.config/powermenu/theme" -platform linuxfb)" "$ran"

# Qt's options go to the menu untouched.
launch HOME="$work/home" -- "$work/elsewhere/mine" -platform "two words" ""
same "arguments after the theme passed one by one, blanks kept" \
    "$(printf '%s\n' "$work/elsewhere/mine" -platform "two words" "")" "$ran"

# A missing theme folder: status 2, a message naming it, no menu.
launch HOME="$work/home" -- "$work/nowhere"
same "missing theme folder: status 2" 2 "$status"
contains "missing theme folder: message names it" "$err" "no theme folder at '$work/nowhere'"
same "missing theme folder: the menu does not start" "(menu not started)" "$ran"

# The menu's exit status comes back unchanged.
for code in 0 42; do
    echo "$code" >"$(dirname "$menu")/status"
    launch HOME="$work/home" --
    same "menu exit status $code passed through" "$code" "$status"
done

# A compositor that stops the launcher stops the menu: they are one process.
env -i -C "$work/cwd" PATH=/usr/bin:/bin DISPLAY=:0 HOME="$work/home" "$launcher" &
launcher_pid=$!
wait "$launcher_pid"
same "the menu replaces the launcher's process" "$launcher_pid" "$(cat "$(dirname "$menu")/pid")"

mv "$menu" "$menu.away"
launch HOME="$work/home" --
same "menu program missing: status 127" 127 "$status"
contains "menu program missing: message names it" "$err" "$menu"
mv "$menu.away" "$menu"

finish
