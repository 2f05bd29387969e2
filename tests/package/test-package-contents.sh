#!/usr/bin/env bash
# What the .deb holds and says about itself: its files and their modes, its
# computed dependencies and a changelog that matches its version; and that
# its build installed under another prefix, or its files moved elsewhere,
# still make a theme and start the menu in it.
#   test-package-contents.sh DEB BUILD_DIR [EXTRA_PROGRAM...]
# EXTRA_PROGRAM: the theme tools this source tree builds, each expected in
# /usr/bin with a man page.
set -uo pipefail
source "$(dirname "$0")/checks.sh"
deb=$1 build=$2
shift 2

work=$(mktemp -d /tmp/powermenu-deb-test.XXXXXX)
trap 'rm -rf "$work"' EXIT

expected=(
    "-rwxr-xr-x /usr/bin/powermenu"
    "-rwxr-xr-x /usr/bin/powermenu-launch"
    "-rwxr-xr-x /usr/bin/powermenu-new-theme"
    "-rwxr-xr-x /usr/share/powermenu/draw-sample-theme.sh"
    "-rw-r--r-- /usr/share/man/man1/powermenu-new-theme.1.gz"
    "-rw-r--r-- /usr/share/man/man1/powermenu.1.gz"
    "-rw-r--r-- /usr/share/man/man1/powermenu-launch.1.gz"
    "-rw-r--r-- /usr/share/man/man5/powermenu-theme.5.gz"
    "-rw-r--r-- /usr/share/doc/powermenu/copyright"
    "-rw-r--r-- /usr/share/doc/powermenu/changelog.gz"
    "-rw-r--r-- /usr/share/doc/powermenu/README.md"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/sway/powermenu"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/i3/powermenu"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/logind/powermenu.conf"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/triggerhappy/powermenu.conf"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/triggerhappy/triggerhappy.service.conf"
    "-rw-r--r-- /usr/share/powermenu/keymaps/phone-keys.qmap"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/acpid/powermenu"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/acpid/powermenu.sh"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/evdev/phone-keys.kmap"
    "-rw-r--r-- /usr/share/doc/powermenu/examples/evdev/README"
    "-rw-r--r-- /usr/share/doc/powermenu/docs/preview-default.png"
)
for page in design devices performance testing themes; do
    expected+=("-rw-r--r-- /usr/share/doc/powermenu/docs/$page.md")
done
for theme in default systemd; do
    for file in conf.ini velmorine.png poweroff.png names.txt; do
        expected+=("-rw-r--r-- /usr/share/powermenu/themes/$theme/$file")
    done
    for file in item0.sh item1.sh item2.sh; do
        expected+=("-rwxr-xr-x /usr/share/powermenu/themes/$theme/$file")
    done
done
for program in "$@"; do
    expected+=("-rwxr-xr-x /usr/bin/$program" "-rw-r--r-- /usr/share/man/man1/$program.1.gz")
done

dpkg-deb -x "$deb" "$work/root"
listing=$(dpkg-deb -c "$deb") || { echo "FAIL: dpkg-deb cannot list $deb"; exit 1; }
files=$(awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $1, $6 }' <<<"$listing" | sort)
same "the files and their modes, nothing more" "$(printf '%s\n' "${expected[@]}" | sort)" "$files"

# dpkg-shlibdeps computes these from the programs' libraries: each library
# they load must be named by the package that holds it on this release
# (Debian 13 renamed some for 64-bit time: libqt6core6t64). Versions are
# its own to decide: the few Xlib calls the menu makes are so old that it
# asks for no version of libx11-6.
depends=$(dpkg-deb -f "$deb" Depends)
named=$(sed 's/ ([^)]*)//g; s/ *[,|] */\n/g' <<<"$depends")
triplet=$(dpkg-architecture -A "$(dpkg-deb -f "$deb" Architecture)" -qDEB_HOST_MULTIARCH 2>/dev/null)
needed=$(find "$work/root/usr/bin" -type f -exec readelf -d {} + 2>/dev/null |
    sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort -u)
contains "the programs load Qt" "$needed" libQt6Widgets.so.6
for soname in $needed; do
    library=$(dpkg -S "*/$triplet/$soname" 2>/dev/null | sed 's/[:,].*//' | sort -u)
    same "one installed package holds $soname" 1 "$(wc -w <<<"$library")"
    same "Depends names $library, which holds $soname" "$library" "$(grep -x -F -- "$library" <<<"$named")"
done

# started_in LAUNCHER THEME_DIR LAUNCH_ARG...: the launcher starts the menu
# beside it (beside the file it links to) in THEME_DIR.
started_in() {
    local launcher=$1 theme=$2 pid bin
    shift 2
    bin=$(dirname "$(readlink -f "$launcher")")
    env -i PATH=/usr/bin:/bin HOME="$work" "$launcher" "$@" -platform offscreen 2>/dev/null &
    pid=$!
    for _ in $(seq 50); do
        [ "$(readlink "/proc/$pid/exe")" = "$bin/powermenu" ] && break
        sleep 0.1
    done
    same "$launcher $*: the menu starts in $theme" "$theme" "$(readlink "/proc/$pid/cwd")"
    kill "$pid" && wait "$pid" 2>/dev/null
}
check "the launcher is valid sh" sh -n "$work/root/usr/bin/powermenu-launch"
started_in "$work/root/usr/bin/powermenu-launch" "$work/root/usr/share/powermenu/themes/systemd" systemd
cmake --install "$build" --prefix "$work/elsewhere" >/dev/null
check "a theme made under another prefix" "$work/elsewhere/bin/powermenu-new-theme" --screen 320x480 "$work/mine" >/dev/null
started_in "$work/elsewhere/bin/powermenu-launch" "$work/mine" "$work/mine"
mkdir "$work/links" && ln -s "$work/elsewhere/bin/powermenu-launch" "$work/links/"
started_in "$work/links/powermenu-launch" "$work/elsewhere/share/powermenu/themes/systemd" systemd
contains "its man pages name its themes" "$(zcat "$work/elsewhere/share/man/man1/powermenu-launch.1.gz")" "$work/elsewhere/share/powermenu/themes/default"

# The packaged README's and docs' links between each other lead to files
# in the package.
for page in "$work"/root/usr/share/doc/powermenu/{README.md,docs/*.md}; do
    for target in $(grep -o '](\([^)#:][^)#:]*\)[)#]' "$page" | sed 's/^](//; s/.$//'); do
        check "${page#"$work/root"} links to $target, which the package holds" \
            test -f "$(dirname "$page")/$target"
    done
done

gunzip -c "$work/root/usr/share/doc/powermenu/changelog.gz" >"$work/changelog"
same "the changelog's latest entry is this version" "$(dpkg-deb -f "$deb" Version)" \
    "$(dpkg-parsechangelog -l "$work/changelog" -S Version)"

finish
