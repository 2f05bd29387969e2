#!/bin/bash
# draw-sample-theme.sh WxH THEME_DIR
# Draws the sample theme for a screen of WxH pixels into THEME_DIR:
#   conf.ini       the sample layout scaled to the screen, unless THEME_DIR
#                  already has one
#   velmorine.png  the menu: title, Flash / Power off / Restart tiles, Cancel
#   poweroff.png   the screen shown while the chosen action runs
# The tiles are drawn where conf.ini puts the highlights, so after moving a
# rectangle there, run this again and the highlight keeps framing its tile.
# themes/default is made with: themes/draw-sample-theme.sh 240x320 themes/default
# Needs Debian's imagemagick and fonts-dejavu-core.
set -euo pipefail

usage() { echo "usage: $0 WxH THEME_DIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
[[ $1 =~ ^([1-9][0-9]{0,4})x([1-9][0-9]{0,4})$ ]] || usage
W=${BASH_REMATCH[1]}
H=${BASH_REMATCH[2]}
theme=$2
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

calc() { awk "BEGIN { printf \"%.2f\", $* }"; }
# The sample is laid out for 240x320; on another screen the whole layout is
# scaled by the larger factor that still fits and centred.
scale=$(awk "BEGIN { w = $W / 240; h = $H / 320; printf \"%.6f\", (w < h ? w : h) }")
# px N: N sample pixels at this scale, rounded.
px() { awk "BEGIN { printf \"%d\", $1 * $scale + 0.5 }"; }
left=$(((W - $(px 240)) / 2))
top=$(((H - $(px 320)) / 2))
# X and Y: a sample position on the screen.
X() { echo $((left + $(px "$1"))); }
Y() { echo $((top + $(px "$1"))); }

if [ ! -e "$conf" ]; then
    # Each line stays within the 48 characters that the menu reads at a time.
    cat >"$conf" <<CONF
# powermenu sample theme for a ${W}x${H} screen.
# All numbers are picture pixels. Each item
# has a highlight rectangle: x, y (top-left),
# width and height; the highlight is drawn
# on its border.
# Keys ending in 0: y and size shared by the
# top row (Flash, Power off, Restart).
# Keys ending in 1: the Cancel button.
icon0_y=$(Y 104)
icon1_y=$(Y 236)
width0=$(px 72)
width1=$(px 152)
height0=$(px 104)
height1=$(px 44)
# Left edges: Flash, Power off, Restart,
# then Cancel.
reflash_x=$(X 6)
shut_x=$(X 84)
reboot_x=$(X 162)
cancel_x=$(X 44)
# Screen position of the picture.
start_x=0
start_y=0
# Highlight colour 0xRRGGBB as a decimal
# number: 16763904 is 0xFFCC00 (amber).
line_color=16763904
CONF
    # About one pixel per 160 of the shorter side: a dotted line one pixel
    # wide is lost on a dense screen. Below 2 the menu draws one pixel anyway.
    outline=$(((W < H ? W : H) / 160))
    [ "$outline" -lt 2 ] || printf '# Highlight outline width, screen pixels.\nline_width=%d\n' "$outline" >>"$conf"
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

# The menu draws its highlight on the rectangle's border (on the last
# row/column inside it or one past it, depending on how it rounds), line_width
# pixels wide, so the tiles stop 2 pixels short of its inner edge, and at
# least 3 short of the border: the outline then always lands on plain dark
# background, where a bright line colour stands out.
outline=$(sed -nE 's/^line_width=([0-9]{1,4})([^0-9].*)?$/\1/p' "$conf" | head -n 1)
inset=$((${outline:-0} > 1 ? outline + 2 : 3))

bg_top='#121822'
bg_bottom='#090c11'
tile_fill='#19202a'
tile_edge='#29323f'
text='#e6ebf1'
text_dim='#8894a3'
flash_col='#5aaeff'
off_col='#ff6b6b'
restart_col='#5cd08c'

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
    local p4 p8 p11 p14 p18
    p4=$(px 4) p8=$(px 8) p11=$(px 11) p14=$(px 14) p18=$(px 18)
    echo "roundrectangle $((cx - p11)),$((cy - p14)) $((cx + p11)),$((cy + p14)) $p4,$p4"
    for o in -$p8 0 $p8; do
        echo "line $((cx - p18)),$((cy + o)) $((cx - p14)),$((cy + o))"
        echo "line $((cx + p14)),$((cy + o)) $((cx + p18)),$((cy + o))"
    done
}

chip_arrow() { # cx cy
    local cx=$1 cy=$2
    echo "line $cx,$((cy - $(px 7))) $cx,$((cy + $(px 3)))"
    echo "polyline $((cx - $(px 5))),$((cy - $(px 1))) $cx,$((cy + $(px 4))) $((cx + $(px 5))),$((cy - $(px 1)))"
    echo "line $((cx - $(px 6))),$((cy + $(px 8))) $((cx + $(px 6))),$((cy + $(px 8)))"
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
    -draw "$( { tile "$flash_x" "$row_y" "$row_w" "$row_h" "$(px 10)"
                tile "$off_x" "$row_y" "$row_w" "$row_h" "$(px 10)"
                tile "$restart_x" "$row_y" "$row_w" "$row_h" "$(px 10)"
                tile "$cancel_x" "$cancel_y" "$cancel_w" "$cancel_h" "$pill"
              } | prims)" \
    -fill none \
    -stroke "$flash_col" -strokewidth "$(calc "2.5 * $scale")" \
    -draw "$(chip_icon "$flash_cx" "$row_cy" | prims)" \
    -draw "$(chip_arrow "$flash_cx" "$row_cy" | prims)" \
    -stroke "$off_col" -strokewidth "$(calc "3.5 * $scale")" \
    -draw "$(power_icon "$off_cx" "$row_cy" "$(px 15)" | prims)" \
    -stroke "$restart_col" -strokewidth "$(calc "3.5 * $scale")" \
    -draw "$(restart_icon "$restart_cx" "$row_cy" "$(px 15)" | prims)" \
    -fill "$restart_col" -stroke none \
    -draw "$(restart_head "$restart_cx" "$row_cy" "$(px 15)" | prims)" \
    -gravity center -stroke none \
    -font "$font_bold" -pointsize "$(calc "20 * $scale")" -fill "$text" \
    -annotate "$(at $((W / 2)) "$(Y 50)")" 'Power' \
    -font "$font" -pointsize "$(calc "12 * $scale")" -fill "$text_dim" \
    -annotate "$(at $((W / 2)) "$(Y 74)")" 'Choose an action' \
    -pointsize "$(calc "11 * $scale")" -fill "$text" \
    -annotate "$(at "$flash_cx" "$label_cy")" 'Flash' \
    -annotate "$(at "$off_cx" "$label_cy")" 'Power off' \
    -annotate "$(at "$restart_cx" "$label_cy")" 'Restart' \
    -pointsize "$(calc "14 * $scale")" \
    -annotate "$(at "$cancel_cx" "$cancel_cy")" 'Cancel' \
    "$tmp/menu-drawn.png"
save "$tmp/menu-drawn.png" "$theme/velmorine.png"

# --- poweroff.png: shown while the chosen script runs -----------------------

cx=$((W / 2))
cy=$(Y 128)
background "$tmp/off.png"
"$CONVERT" "$tmp/off.png" \
    -fill "$tile_fill" -stroke "$tile_edge" -strokewidth 1 \
    -draw "circle $cx,$cy $cx,$((cy - $(px 52)))" \
    -fill none -stroke "$text" -strokewidth "$(calc "6 * $scale")" \
    -draw "$(power_icon "$cx" "$cy" "$(px 26)" | prims)" \
    -gravity center -stroke none \
    -font "$font" -pointsize "$(calc "17 * $scale")" -fill "$text" \
    -annotate "$(at "$cx" "$(Y 218)")" 'Powering off…' \
    -pointsize "$(calc "12 * $scale")" -fill "$text_dim" \
    -annotate "$(at "$cx" "$(Y 242)")" 'Please wait' \
    "$tmp/off-drawn.png"
save "$tmp/off-drawn.png" "$theme/poweroff.png"

echo "Wrote $theme/velmorine.png (${W}x${H}, menu laid out from $conf)"
echo "Wrote $theme/poweroff.png (${W}x${H})"
