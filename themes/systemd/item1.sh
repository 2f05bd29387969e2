#!/bin/sh
# Power off item: shuts the machine down through systemd.
if ! command -v systemctl >/dev/null; then
    echo "powermenu systemd theme: systemctl not found: this theme needs systemd." >&2
    exit 1
fi
echo "powermenu systemd theme: powering off."
systemctl poweroff && exit 0
status=$?
echo "powermenu systemd theme: power off was refused (systemctl exited with status $status)." >&2
exit "$status"
