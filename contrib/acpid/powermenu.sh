#!/bin/sh
# acpid (or triggerhappy, see ../triggerhappy) runs this as root for a
# press of the power key: it opens the menu on the framebuffer, with the
# phone keymap that powermenu installs (volume down: the cancel button,
# volume up: the next item, power: confirm).
# Root, because the framebuffer and the keys are root's and the systemd
# theme's power off and restart need no session then.
# A theme made for this screen, with the scripts that really act
# (powermenu-new-theme --scripts systemd /etc/powermenu/theme), else the
# installed one, drawn for 240x320.
theme=/etc/powermenu/theme
[ -d "$theme" ] || theme=systemd
# linuxfb draws on /dev/fb0; eglfs through the DRM device with Mesa
# (apt install libqt6opengl6 libegl-mesa0 libgbm1 libgl1-mesa-dri).
platform=linuxfb
keymap=/usr/share/powermenu/keymaps/phone-keys.qmap

# The power key that confirms in the menu reaches acpid as well, and Cancel
# ends the menu before that press is handled here: without a pause it
# would open the menu again at once. So one press is handled at a time,
# and for two seconds after the menu ends a press opens nothing. The lock
# is closed for the menu, so the item scripts, and whatever they leave
# running, never hold it; the menu's own lock refuses a second menu
# started any other way.
#
# The menu runs as root with a clean environment, as sudo gives one: a
# variable from whoever started acpid (QT_PLUGIN_PATH, LD_PRELOAD...) could
# make root load their code. Nobody reads the menu's messages on a device,
# so they and the scripts' output go to the journal, tagged powermenu
# (journalctl -t powermenu). systemd-cat hands the menu the journal's
# stream itself, rather than a pipe to a logger that this handler would
# wait for as long as anything a script left running holds it. Without a
# journal (another init) systemd-cat would refuse to start the menu at all,
# so there the messages go wherever acpid sends its actions' output.
log=
[ -S /run/systemd/journal/stdout ] && log="systemd-cat -t powermenu --stderr-priority=warning"
(
    flock -n 9 || exit 0
    # Qt's own evdev handlers, not libinput, since only they read a keymap;
    # and no mouse pointer drawn over the menu.
    env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        QT_QPA_FB_NO_LIBINPUT=1 QT_QPA_EGLFS_NO_LIBINPUT=1 \
        QT_QPA_FB_HIDECURSOR=1 QT_QPA_EGLFS_HIDECURSOR=1 \
        QT_QPA_EVDEV_KEYBOARD_PARAMETERS="keymap=$keymap" \
        $log powermenu-launch "$theme" -platform "$platform" 9>&-
    sleep 2
) 9>/run/powermenu-acpid.lock &
