#!/usr/bin/env bash
# The systemd theme's scripts, run the way the menu runs them (./itemN.sh
# through /bin/sh in the theme folder), against stand-ins for systemctl and
# busctl that write down what they were asked and answer as a machine with
# or without firmware setup and boot loader menu would.
#   test-systemd-theme.sh THEME_DIR
set -uo pipefail
source "$(dirname "$0")/checks.sh"
theme=$1

work=$(mktemp -d /tmp/powermenu-systemd-theme-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin" "$work/nothing"
cat >"$work/bin/systemctl" <<'STUB'
#!/bin/sh
here=$(dirname "$0")
echo "systemctl $*" >>"$here/calls"
exit "$(cat "$here/systemctl-status")"
STUB
cat >"$work/bin/busctl" <<'STUB'
#!/bin/sh
# Answers logind's Can* questions from the file "offers" (method=answer);
# "down" there stands for a logind that does not answer.
here=$(dirname "$0")
grep -q '^down$' "$here/offers" && { echo "Failed to connect to bus" >&2; exit 1; }
answer=$(sed -n "s/^$5=//p" "$here/offers")
echo "s \"${answer:-na}\""
STUB
chmod +x "$work/bin/systemctl" "$work/bin/busctl"

# Never let a test reach the real systemctl.
stub=$(PATH="$work/bin:/usr/bin:/bin" command -v systemctl)
if [ "$stub" != "$work/bin/systemctl" ]; then
    echo "test setup: the systemctl stand-in is not found first; not running the scripts" >&2
    exit 1
fi

# run ITEM OFFERS SYSTEMCTL_STATUS [PATH]: sets status, err and calls.
run() {
    printf '%s\n' $2 >"$work/bin/offers"
    echo "$3" >"$work/bin/systemctl-status"
    rm -f "$work/bin/calls"
    err=$(cd "$theme" && env -i PATH="${4:-$work/bin:/usr/bin:/bin}" /bin/sh -c "./$1" 2>&1 >/dev/null)
    status=$?
    calls=$(cat "$work/bin/calls" 2>/dev/null || echo "(none)")
}

run item1.sh "" 0
same "power off calls systemctl poweroff" "systemctl poweroff" "$calls"
run item2.sh "" 0
same "restart calls systemctl reboot" "systemctl reboot" "$calls"

run item0.sh "CanRebootToFirmwareSetup=yes CanRebootToBootLoaderMenu=yes" 0
same "flash with a firmware setup: reboots into it" "systemctl reboot --firmware-setup" "$calls"
run item0.sh "CanRebootToFirmwareSetup=no CanRebootToBootLoaderMenu=yes" 0
same "flash without firmware setup: the boot loader menu" "systemctl reboot --boot-loader-menu=0" "$calls"

run item0.sh "CanRebootToFirmwareSetup=na CanRebootToBootLoaderMenu=no" 0
same "flash with neither: nothing is called" "(none)" "$calls"
check "flash with neither: non-zero status" [ "$status" -ne 0 ]
contains "flash with neither: says so" "$err" "offers neither a firmware setup nor a boot loader menu"

run item1.sh "" 1
check "power off refused: non-zero status" [ "$status" -ne 0 ]
contains "power off refused: says so" "$err" "power off was refused (systemctl exited with status 1)"

for item in item0.sh item1.sh item2.sh; do
    run "$item" "" 0 "$work/nothing"
    check "$item without systemd: non-zero status" [ "$status" -ne 0 ]
    contains "$item without systemd: says so" "$err" "this theme needs systemd"
done

# A launcher's log that has closed: stdout is a pipe nobody reads any more.
# The message written before the action must not cost the action.
unread() {
    printf '%s\n' $2 >"$work/bin/offers"
    echo 0 >"$work/bin/systemctl-status"
    rm -f "$work/bin/calls"
    (cd "$theme" && env -i PATH="$work/bin:/usr/bin:/bin" python3 -c 'import os, subprocess, sys
r, w = os.pipe(); os.close(r); subprocess.call(sys.argv[1:], stdout=w)' /bin/sh -c "./$1") 2>/dev/null
    calls=$(cat "$work/bin/calls" 2>/dev/null || echo "(none)")
}
for case in "item1.sh||poweroff" "item2.sh||reboot" "item0.sh|CanRebootToFirmwareSetup=yes|reboot --firmware-setup"; do
    IFS='|' read -r item offers action <<<"$case"
    unread "$item" "$offers"
    same "$item with nobody reading its output still acts" "systemctl $action" "$calls"
done

finish
