#!/usr/bin/env bash
# Makes a powermenu theme for timing runs, matching the test picture of the
# shared first-frame harness (a gradient with four flat buttons stacked in a
# column): the three top-row items split button 0 in thirds, the cancel
# button is button 3, the highlight is red (bench/run.sh probes it on the
# items' left edges).
#   usage: bench/make-theme.sh WIDTHxHEIGHT OUTDIR [HARNESS_DIR]
set -euo pipefail
size=${1:?usage: make-theme.sh WIDTHxHEIGHT OUTDIR [HARNESS_DIR]}
out=${2:?usage: make-theme.sh WIDTHxHEIGHT OUTDIR [HARNESS_DIR]}
harness=${3:-$(cd "$(dirname "$0")/../../shared/bench/firstframe" 2>/dev/null && pwd || true)}
if [ ! -x "$harness/make_pictures.sh" ]; then
    echo "make-theme: the first-frame harness is not at '$harness' (expected beside the repository)" >&2
    exit 1
fi
W=${size%x*}; H=${size#*x}
mkdir -p "$out"
pics=$(mktemp -d)
trap 'rm -rf "$pics"' EXIT
"$harness/make_pictures.sh" "$pics" "$size" >/dev/null
cp "$pics/theme-$size.png" "$out/velmorine.png"
/usr/bin/convert -size "${W}x${H}" xc:'#202020' -depth 8 -type TrueColor "PNG24:$out/poweroff.png"

# The harness's layout: buttons at x mx..W-mx-1, button i at y top+i*step, bh high.
mx=$((W/8)); top=$((H/5)); step=$((H*3/20)); bh=$((H/10)); m=$((W/80 > 2 ? W/80 : 2))
third=$(((W - 2*mx) / 3))
cat > "$out/conf.ini" <<CONF
icon0_y=$((top - m))
icon1_y=$((top + 3*step - m))
width0=$((third - 2))
width1=$((W - 2*mx + 2*m))
height0=$((bh + 2*m))
height1=$((bh + 2*m))
reflash_x=$((mx - m))
shut_x=$((mx + third))
reboot_x=$((mx + 2*third))
cancel_x=$((mx - m))
start_x=0
start_y=0
line_color=16711680
CONF
for i in 0 1 2; do
    printf '#!/bin/sh\nexit 0\n' > "$out/item$i.sh"
    chmod +x "$out/item$i.sh"
done
