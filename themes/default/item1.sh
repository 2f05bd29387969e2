#!/bin/sh
# Power off item of the sample theme. Deliberately harmless, so trying the
# menu out never switches the machine off.
echo "powermenu sample theme: power off requested (a real theme would run: systemctl poweroff)"
