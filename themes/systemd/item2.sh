#!/bin/sh
# Restart item: reboots the machine through systemd.
if ! command -v systemctl >/dev/null; then
    echo "powermenu systemd theme: systemctl not found: this theme needs systemd." >&2
    exit 1
fi
echo "powermenu systemd theme: rebooting."
systemctl reboot && exit 0
status=$?
echo "powermenu systemd theme: the reboot was refused (systemctl exited with status $status)." >&2
exit "$status"
