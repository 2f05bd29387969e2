# Sourced by the tools: installs the Debian packages that a tool needs, when
# any is missing. Each tool asks for what it uses:
#   ensure_deps                              building only
#   ensure_deps PACKAGE...                   building and these
#   ensure_deps "${powermenu_test_packages[@]}"  building and the whole test suite

powermenu_build_packages=(cmake g++ make pkg-config qt6-base-dev libgl-dev libpng-dev)
powermenu_test_packages=(
    xvfb xdotool x11-utils x11-apps x11-xserver-utils imagemagick fonts-dejavu-core python3
    qt6-wayland sway wtype grim
    dpkg-dev file lintian strace
)

ensure_deps() {
    local missing=() pkg
    for pkg in "${powermenu_build_packages[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
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
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}
