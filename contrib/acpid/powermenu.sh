#!/bin/sh
# acpid runs this as root for a power button press. The menu has to run
# as the user whose session shows it and reach that session's display:
# set the three values below for your device.
user=kiosk
display=:0
wayland_display=

uid=$(id -u "$user") || {
    echo "powermenu acpid handler: no user '$user'; set user= in $0." >&2
    exit 1
}
runtime_dir=/run/user/$uid
if [ -n "$wayland_display" ]; then
    set -- WAYLAND_DISPLAY="$wayland_display"
else
    set -- DISPLAY="$display" XAUTHORITY="$(getent passwd "$user" | cut -d: -f6)/.Xauthority"
fi
# In the background, so acpid goes on with other events; the lock keeps a
# press while the menu is open from opening a second one.
runuser -u "$user" -- env XDG_RUNTIME_DIR="$runtime_dir" "$@" \
    flock -n "$runtime_dir/powermenu.lock" powermenu-launch &
