#!/bin/sh
# Power off item: shuts the machine down through systemd.
# Said from a subshell: when stdout is a pipe nobody reads any more (a
# launcher's log that closed), SIGPIPE ends the subshell, not the action.
say() { (echo "powermenu systemd theme: $*") 2>/dev/null; }

if ! command -v systemctl >/dev/null; then
    echo "powermenu systemd theme: systemctl not found: this theme needs systemd." >&2
    exit 1
fi
say "powering off."
systemctl poweroff && exit 0
status=$?
echo "powermenu systemd theme: power off was refused (systemctl exited with status $status)." >&2
exit "$status"
