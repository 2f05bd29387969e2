#!/bin/sh
# Flash item of the sample theme. Deliberately harmless: a real theme would
# reboot into the device's boot loader so new firmware can be written.
echo "powermenu sample theme: reboot to the boot loader requested (a real theme would run: systemctl reboot bootloader)"
