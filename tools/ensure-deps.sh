# Sourced by the tools: installs the Debian packages that a tool needs, when
# any is missing. Each tool asks for what it uses:
#   ensure_deps                              building only
#   ensure_deps PACKAGE...                   building and these
#   ensure_deps "${powermenu_test_packages[@]}"  building and the whole test suite

powermenu_build_packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libpng-dev libx11-dev)
powermenu_test_packages=(
    xvfb xdotool x11-utils x11-apps x11-xserver-utils imagemagick fonts-dejavu-core python3
    qt6-wayland sway wtype wev grim openbox
    qt6-wayland-dev libqt6opengl6-dev qt6-declarative-dev libxkbcommon-dev
    dbus-daemon at-spi2-core python3-pyatspi
    dpkg-dev file lintian strace
)

ensure_deps() {
    local missing=() pkg
    # A name may be another package's by now: Debian 13's qt6-base-dev
    # provides libqt6opengl6-dev.
    local provided
    provided=$(dpkg-query -W -f='${db:Status-Abbrev} ${Provides}\n' 2>/dev/null | sed -n 's/^ii *//p' |
        sed 's/ ([^)]*)//g; s/, */\n/g')
    for pkg in "${powermenu_build_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            { [[ $pkg != *:* ]] && grep -qx -F -- "$pkg" <<<"$provided"; } || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && [ -z "${apt_lists_stale:-}" ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "powermenu: please install as root: apt-get install ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "powermenu: installing the missing Debian packages ${missing[*]}"
    echo "powermenu: (with what they depend on; on a fresh machine this may take several minutes)"
    "${sudo[@]}" apt-get update -q
    apt_lists_stale=
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Cross-building for arm64 (tools/build-deb.sh --arch arm64): the cross
# compiler, and Qt and libpng for arm64 beside the native ones. Qt's own
# build tools run natively; the keymap compiler runs under qemu-user.
ensure_arm64_build() {
    if ! dpkg --print-foreign-architectures | grep -qx arm64; then
        echo "powermenu: adding arm64 as a foreign architecture (dpkg --add-architecture arm64)"
        if [ "$(id -u)" -eq 0 ]; then dpkg --add-architecture arm64; else sudo dpkg --add-architecture arm64; fi
        # The next install must see the arm64 lists.
        apt_lists_stale=true
    fi
    ensure_deps g++-aarch64-linux-gnu qt6-base-dev:arm64 libpng-dev:arm64 libgl-dev:arm64 libx11-dev:arm64 qemu-user-static
}
