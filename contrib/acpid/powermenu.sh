#!/bin/sh
# acpid runs this as root for a power button press: it opens the menu on
# the framebuffer, with the phone keymap that powermenu installs (volume
# down: the cancel button, volume up: the next item, power: confirm).
# Root, because the framebuffer and the keys are root's and the systemd
# theme's power off and restart need no session then. The menu refuses to
# open twice, so a press while it is open does nothing.
theme=systemd
platform=linuxfb
keymap=/usr/share/powermenu/keymaps/phone-keys.qmap

# In the background, so that acpid goes on with other events. Qt's own
# evdev handlers, not libinput, since only they read a keymap.
QT_QPA_FB_NO_LIBINPUT=1 QT_QPA_EGLFS_NO_LIBINPUT=1 \
    QT_QPA_EVDEV_KEYBOARD_PARAMETERS="keymap=$keymap" \
    powermenu-launch "$theme" -platform "$platform" &
