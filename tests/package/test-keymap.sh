#!/usr/bin/env bash
# The phone keymap compiled as the package compiles it, read back the way
# Qt's evdev keyboard reads a .qmap (big-endian header, then 12-byte
# entries), and the keymap mistakes the compiler must refuse.
#   test-keymap.sh MAKE_QMAP KMAP
set -uo pipefail
source "$(dirname "$0")/checks.sh"
work=$(mktemp -d /tmp/powermenu-keymap-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

"$1" "$2" "$work/phone.qmap"
keys=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read()
magic, version, count, compose = struct.unpack(">4I", data[:16])
assert (magic, version, compose, len(data)) == (0x514D4150, 1, 0, 16 + 12 * count)
entries = {k: (c, u) for k, u, c, _, _, _ in struct.iter_unpack(">HHIBBH", data[16:])}
print(" ".join("%d:%x:%x" % (k, *entries[k]) for k in (114, 115, 116, 60, 76)))' "$work/phone.qmap")
same "volume down, volume up, power, F2 and keypad 5 as Qt reads them" \
    "114:1000015:ffff 115:1000014:ffff 116:1000004:ffff 60:1000031:ffff 76:20000035:35" "$keys"

for case in "keycode 114 = Menu|unknown key \"Menu\"" "keycode 114 = Down|line 2: key code 114 is already mapped on line 1" \
    "shift keycode 2 = two|expected \"keycode NUMBER = KEY\"" "keycode 70000 = Down|beyond 65535"; do
    printf 'keycode 114 = Down\n%s\n' "${case%%|*}" >"$work/bad.kmap"
    err=$("$1" "$work/bad.kmap" "$work/bad.qmap" 2>&1) && status=0 || status=$?
    check "refused, nothing written: ${case%%|*}" [ "$status" -ne 0 -a ! -e "$work/bad.qmap" ]
    contains "says why: ${case%%|*}" "$err" "${case#*|}"
done
finish
