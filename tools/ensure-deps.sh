# Sourced by the tools: installs the Debian packages that building and
# testing powermenu need, when any is missing.

powermenu_packages=(
    cmake g++ make pkg-config qt6-base-dev libgl-dev libpng-dev
    xvfb xdotool x11-utils x11-apps imagemagick python3
    qt6-wayland sway wtype grim
    dpkg-dev file lintian
)

ensure_deps() {
    local missing=() pkg
    for pkg in "${powermenu_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "powermenu: installing missing Debian packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "powermenu: please install as root: apt-get install ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -q >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
}
