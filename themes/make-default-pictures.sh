#!/bin/bash
# Redraws the pictures of the sample theme in default/ for a 240x320 screen:
#   velmorine.png  the menu: title, Flash / Power off / Restart tiles, Cancel
#   poweroff.png   the screen shown while the chosen action runs
# The tile and button positions come from default/conf.ini, so after moving a
# rectangle there, run this again and the highlight keeps framing its tile.
# Needs Debian's imagemagick and fonts-dejavu-core.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
theme="$here/default"
conf="$theme/conf.ini"

# Use Debian's convert by its full path: another program of the same name
# earlier in PATH would otherwise be picked up.
CONVERT=${CONVERT:-/usr/bin/convert}
fontdir=/usr/share/fonts/truetype/dejavu
font="$fontdir/DejaVuSans.ttf"
font_bold="$fontdir/DejaVuSans-Bold.ttf"

missing=()
[ -x "$CONVERT" ] || missing+=(imagemagick)
{ [ -r "$font" ] && [ -r "$font_bold" ]; } || missing+=(fonts-dejavu-core)
if [ ${#missing[@]} -gt 0 ]; then
    echo "$0: missing ${missing[*]}; install with: apt-get install ${missing[*]}" >&2
    exit 1
fi
[ -r "$conf" ] || { echo "$0: cannot read $conf" >&2; exit 1; }

# Only "key=number" lines count: that is the form the menu reads reliably,
# so a line the menu would misread fails here too.
conf_value() {
    local v
    v=$(sed -nE "s/^$1=(-?[0-9]+).*/\1/p" "$conf" | head -n 1)
    if [ -z "$v" ]; then
        echo "$0: no \"$1=<number>\" line in $conf" >&2
        exit 1
    fi
    echo "$v"
}

W=240
H=320
row_y=$(conf_value icon0_y)
row_w=$(conf_value width0)
row_h=$(conf_value height0)
flash_x=$(conf_value reflash_x)
off_x=$(conf_value shut_x)
restart_x=$(conf_value reboot_x)
cancel_y=$(conf_value icon1_y)
cancel_w=$(conf_value width1)
cancel_h=$(conf_value height1)
cancel_x=$(conf_value cancel_x)

# The menu draws its 1-pixel highlight on the rectangle's border (on the last
# row/column inside it or one past it, depending on how it rounds), so the
# tiles stop 3 pixels short of the border: the outline then always lands on
# plain dark background, where a bright line colour stands out.
inset=3

bg_top='#121822'
bg_bottom='#090c11'
tile_fill='#19202a'
tile_edge='#29323f'
text='#e6ebf1'
text_dim='#8894a3'
flash_col='#5aaeff'
off_col='#ff6b6b'
restart_col='#5cd08c'

calc() { awk "BEGIN { printf \"%.2f\", $* }"; }
# Geometry for -annotate with -gravity center: offset of (x, y) from the
# middle of the picture.
at() { printf '%+d%+d' $(($1 - W / 2)) $(($2 - H / 2)); }

tile() { # x y w h radius
    echo "roundrectangle $(($1 + inset)),$(($2 + inset)) $(($1 + $3 - inset)),$(($2 + $4 - inset)) $5,$5"
}

power_icon() { # cx cy radius
    local cx=$1 cy=$2 r=$3
    # Ring open by 38 degrees either side of the top, stem through the gap.
    local dx dy
    dx=$(calc "$r * sin(38 * 3.14159265 / 180)")
    dy=$(calc "$r * cos(38 * 3.14159265 / 180)")
    echo "path 'M $(calc "$cx + $dx"),$(calc "$cy - $dy") A $r,$r 0 1,1 $(calc "$cx - $dx"),$(calc "$cy - $dy")'"
    echo "path 'M $cx,$(calc "$cy - $r * 1.2") L $cx,$(calc "$cy - $r * 0.25")'"
}

restart_icon() { # cx cy radius
    local cx=$1 cy=$2 r=$3
    # Clockwise ring from 60 degrees right of the top round to just short of
    # the top, where the arrow head takes over pointing on clockwise.
    local sx sy ex ey
    sx=$(calc "$cx + $r * sin(60 * 3.14159265 / 180)")
    sy=$(calc "$cy - $r * cos(60 * 3.14159265 / 180)")
    ex=$(calc "$cx - $r * sin(8 * 3.14159265 / 180)")
    ey=$(calc "$cy - $r * cos(8 * 3.14159265 / 180)")
    echo "path 'M $sx,$sy A $r,$r 0 1,1 $ex,$ey'"
}

restart_head() { # cx cy radius
    local cx=$1 cy=$2 r=$3
    echo "polygon $(calc "$cx + $r * 0.55"),$(calc "$cy - $r") $(calc "$cx - $r * 0.1"),$(calc "$cy - $r * 1.45") $(calc "$cx - $r * 0.1"),$(calc "$cy - $r * 0.55")"
}

chip_icon() { # cx cy: a DIP-style package with pins down both long sides
    local cx=$1 cy=$2 o
    echo "roundrectangle $((cx - 11)),$((cy - 14)) $((cx + 11)),$((cy + 14)) 4,4"
    for o in -8 0 8; do
        echo "line $((cx - 18)),$((cy + o)) $((cx - 14)),$((cy + o))"
        echo "line $((cx + 14)),$((cy + o)) $((cx + 18)),$((cy + o))"
    done
}

chip_arrow() { # cx cy
    local cx=$1 cy=$2
    echo "line $cx,$((cy - 7)) $cx,$((cy + 3))"
    echo "polyline $((cx - 5)),$((cy - 1)) $cx,$((cy + 4)) $((cx + 5)),$((cy - 1))"
    echo "line $((cx - 6)),$((cy + 8)) $((cx + 6)),$((cy + 8))"
}

# Joins lines of draw primitives into one -draw argument, with rounded line
# ends and corners so the icons look drawn rather than plotted.
prims() { printf 'stroke-linecap round stroke-linejoin round '; tr '\n' ' '; }

background() {
    "$CONVERT" -size ${W}x${H} "gradient:$bg_top-$bg_bottom" "$1"
}

save() { # in out
    "$CONVERT" "$1" -strip -depth 8 -type TrueColor \
        -define png:compression-level=9 "PNG24:$2"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# --- velmorine.png: the menu ------------------------------------------------

row_cy=$((row_y + row_h * 39 / 100))
label_cy=$((row_y + row_h * 77 / 100))
flash_cx=$((flash_x + row_w / 2))
off_cx=$((off_x + row_w / 2))
restart_cx=$((restart_x + row_w / 2))
cancel_cx=$((cancel_x + cancel_w / 2))
cancel_cy=$((cancel_y + cancel_h / 2))
pill=$(((cancel_h - 2 * inset) / 2))

background "$tmp/menu.png"
"$CONVERT" "$tmp/menu.png" \
    -fill "$tile_fill" -stroke "$tile_edge" -strokewidth 1 \
    -draw "$( { tile "$flash_x" "$row_y" "$row_w" "$row_h" 10
                tile "$off_x" "$row_y" "$row_w" "$row_h" 10
                tile "$restart_x" "$row_y" "$row_w" "$row_h" 10
                tile "$cancel_x" "$cancel_y" "$cancel_w" "$cancel_h" "$pill"
              } | prims)" \
    -fill none \
    -stroke "$flash_col" -strokewidth 2.5 \
    -draw "$(chip_icon "$flash_cx" "$row_cy" | prims)" \
    -draw "$(chip_arrow "$flash_cx" "$row_cy" | prims)" \
    -stroke "$off_col" -strokewidth 3.5 \
    -draw "$(power_icon "$off_cx" "$row_cy" 15 | prims)" \
    -stroke "$restart_col" -strokewidth 3.5 \
    -draw "$(restart_icon "$restart_cx" "$row_cy" 15 | prims)" \
    -fill "$restart_col" -stroke none \
    -draw "$(restart_head "$restart_cx" "$row_cy" 15 | prims)" \
    -gravity center -stroke none \
    -font "$font_bold" -pointsize 20 -fill "$text" \
    -annotate "$(at $((W / 2)) 50)" 'Power' \
    -font "$font" -pointsize 12 -fill "$text_dim" \
    -annotate "$(at $((W / 2)) 74)" 'Choose an action' \
    -pointsize 11 -fill "$text" \
    -annotate "$(at "$flash_cx" "$label_cy")" 'Flash' \
    -annotate "$(at "$off_cx" "$label_cy")" 'Power off' \
    -annotate "$(at "$restart_cx" "$label_cy")" 'Restart' \
    -pointsize 14 \
    -annotate "$(at "$cancel_cx" "$cancel_cy")" 'Cancel' \
    "$tmp/menu-drawn.png"
save "$tmp/menu-drawn.png" "$theme/velmorine.png"

# --- poweroff.png: shown while the chosen script runs -----------------------

cx=$((W / 2))
cy=128
background "$tmp/off.png"
"$CONVERT" "$tmp/off.png" \
    -fill "$tile_fill" -stroke "$tile_edge" -strokewidth 1 \
    -draw "circle $cx,$cy $cx,$((cy - 52))" \
    -fill none -stroke "$text" -strokewidth 6 \
    -draw "$(power_icon "$cx" "$cy" 26 | prims)" \
    -gravity center -stroke none \
    -font "$font" -pointsize 17 -fill "$text" \
    -annotate "$(at "$cx" 218)" 'Powering off…' \
    -pointsize 12 -fill "$text_dim" \
    -annotate "$(at "$cx" 242)" 'Please wait' \
    "$tmp/off-drawn.png"
save "$tmp/off-drawn.png" "$theme/poweroff.png"

echo "Wrote $theme/velmorine.png (${W}x${H}, menu laid out from $conf)"
echo "Wrote $theme/poweroff.png (${W}x${H})"
