#!/bin/sh
# Flash item: restarts into the firmware's setup screen, or, where the
# firmware has none, into the boot loader's menu, which then waits for a
# choice (timeout 0). Which of the two this machine offers is asked of
# systemd-logind first, so that an unsupported request fails here with a
# plain message instead of half-way through a reboot.
offered() {
    busctl call org.freedesktop.login1 /org/freedesktop/login1 \
        org.freedesktop.login1.Manager "$1" 2>/dev/null | grep -Eq '"(yes|challenge)"'
}

# Said from a subshell: when stdout is a pipe nobody reads any more (a
# launcher's log that closed), SIGPIPE ends the subshell, not the action.
say() { (echo "powermenu systemd theme: $*") 2>/dev/null; }

if ! command -v systemctl >/dev/null || ! command -v busctl >/dev/null; then
    echo "powermenu systemd theme: systemctl or busctl not found: this theme needs systemd." >&2
    exit 1
fi
if offered CanRebootToFirmwareSetup; then
    say "rebooting into the firmware setup."
    systemctl reboot --firmware-setup && exit 0
elif offered CanRebootToBootLoaderMenu; then
    say "rebooting into the boot loader menu."
    systemctl reboot --boot-loader-menu=0 && exit 0
else
    echo "powermenu systemd theme: this machine offers neither a firmware setup nor a boot loader menu to reboot into; nothing was done." >&2
    exit 1
fi
status=$?
echo "powermenu systemd theme: the reboot was refused (systemctl exited with status $status)." >&2
exit "$status"
