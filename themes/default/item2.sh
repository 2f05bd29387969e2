#!/bin/sh
# Restart item of the sample theme. Deliberately harmless, so trying the
# menu out never restarts the machine.
echo "powermenu sample theme: reboot requested (a real theme would run: systemctl reboot)"
