#!/usr/bin/env bash
# Makes the disk image of a small Debian device with powermenu on it:
#   tools/device-image.sh [--base-cached] [--release trixie] DEB CACHE_DIR
# Debian 12 (bookworm) unless told; the package must be built for the same
# release.
# Prints the folder that holds disk.raw, vmlinuz and initrd.img, for the
# package's architecture (amd64 or arm64; another one's package scripts run
# through qemu-user). Two layers, both kept in CACHE_DIR: a base root
# (mmdebstrap minbase, Debian's kernel, systemd, acpid, everything the
# package depends on, ImageMagick for powermenu-new-theme, and Qt's eglfs
# with Mesa for the walk on eglfs), keyed by its script, the architecture
# and the package's Depends, and the image with the package and its acpid
# and logind bindings installed, keyed by the package itself. So a rebuilt
# package costs a copy and a mkfs, not a new root. Needs root for mmdebstrap
# and chroot; nothing is mounted. With --base-cached it only says, by its
# status, whether the base root for DEB is already made.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/debian-mirror.sh

base_cached_only=false
release=bookworm
while [ $# -gt 0 ]; do
    case $1 in
        --base-cached) base_cached_only=true; shift ;;
        --release) release=$2; shift 2 ;;
        *) break ;;
    esac
done
deb=$(realpath "$1")
cache=$2
# Progress goes to stderr: stdout carries only the image's folder. Times
# count from the start of tools/device-test.sh when it runs this.
started=${POWERMENU_DEVICE_TEST_STARTED:-$(date +%s)}
say() { printf 'device-image: [%4ds] %s\n' $(($(date +%s) - started)) "$*" >&2; }
fail() { echo "device-image: FAILED: $*" >&2; exit 1; }
case $release in
    bookworm) debian=12 ;;
    trixie) debian=13 ;;
    *) fail "no device image of \"$release\": bookworm or trixie" ;;
esac


# chroot without /proc: the package scripts that run here need none.
inside() {
    chroot "$1" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root DEBIAN_FRONTEND=noninteractive "${@:2}"
}

make_base() {
    local work=$cache/making-base root
    rm -rf --one-file-system "$work"
    mkdir -p "$work"
    root=$work/root
    local mirror
    mirror=$(debian_mirror)
    [ -n "$mirror" ] || fail "no apt source for bookworm in /etc/apt/sources.list or /etc/apt/sources.list.d"
    # The package's dependencies by name (the first of any alternatives),
    # Qt's eglfs with Mesa for the walk on eglfs, and what
    # powermenu-new-theme draws with, since the device makes its own theme.
    local packages
    packages="linux-image-$arch initramfs-tools systemd-sysv udev dbus acpid"
    packages+=" libqt6opengl6 libegl-mesa0 libgbm1 libgl1-mesa-dri imagemagick fonts-dejavu-core"
    packages+=" $(echo "$depends" | tr ',' '\n' | sed 's/|.*//' | tr -d ' ' | tr '\n' ' ')"
    say "mmdebstrap: a minimal Debian $debian $arch root from $mirror with $packages (log: $work/mmdebstrap.log)"
    # The initramfs needs only what finds the root disk: the virtio disk
    # and ext4. The list is in place before the kernel's package makes it,
    # and force-confold keeps it when initramfs-tools arrives.
    # A root that is only ever copied needs no fsync after each file: under
    # qemu-user that is much of dpkg's time.
    mmdebstrap --arch="$arch" --variant=minbase --include="${packages// /,}" --dpkgopt=force-confold \
        --dpkgopt=force-unsafe-io \
        --essential-hook='mkdir -p "$1/etc/initramfs-tools/conf.d" &&
            echo MODULES=list >"$1/etc/initramfs-tools/conf.d/device.conf" &&
            printf "%s\n" virtio_pci virtio_mmio virtio_blk ext4 >"$1/etc/initramfs-tools/modules"' \
        "$release" "$root" "deb $mirror $release main" >"$work/mmdebstrap.log" 2>&1 ||
        { tail -20 "$work/mmdebstrap.log" >&2; fail "mmdebstrap failed (log above)"; }
    rm -f "$root/etc/dpkg/dpkg.cfg.d/99mmdebstrap"
    compgen -G "$root/boot/initrd.img-*" >/dev/null ||
        fail "the kernel's package made no initramfs (log: $work/mmdebstrap.log)"

    # What a device with one disk, a framebuffer and a few keys never loads.
    local modules
    modules=$(echo "$root"/lib/modules/*/kernel)
    rm -rf "$modules"/{sound,net/wireless,net/bluetooth} \
        "$modules"/drivers/{media,infiniband,staging,net/wireless,net/ethernet,bluetooth,isdn,iio} \
        "$modules"/drivers/gpu/drm/{amd,nouveau,i915,radeon}
    rm -rf "$root"/usr/share/{man,locale,info} "$root"/var/lib/apt/lists/*

    echo powermenu-device >"$root/etc/hostname"
    echo '/dev/vda / ext4 defaults 0 1' >"$root/etc/fstab"
    # The console is the serial port, logged in as root, so the host can ask
    # whether the machine is up; the framebuffer shows no login prompt.
    mkdir -p "$root/etc/systemd/system/serial-getty@$console.service.d"
    cat >"$root/etc/systemd/system/serial-getty@$console.service.d/autologin.conf" <<'EOT'
[Service]
ExecStart=
ExecStart=-/sbin/agetty --autologin root --noclear --keep-baud 115200 %I $TERM
EOT
    ln -sf /dev/null "$root/etc/systemd/system/getty@tty1.service"
    cp "$root"/boot/vmlinuz-* "$work/vmlinuz"
    cp "$root"/boot/initrd.img-* "$work/initrd.img"
    rm -rf --one-file-system "$cache"/base-*
    mv "$work" "$base"
}

# The base is remade when its recipe or the package's dependencies change
# (their names: a new version bound installs the same mirror's packages),
# the image when anything does.
depends=$(dpkg-deb -f "$deb" Depends | sed 's/ *([^)]*)//g')
arch=$(dpkg-deb -f "$deb" Architecture)
case $arch in
    amd64) console=ttyS0 ;;
    arm64) console=ttyAMA0 ;;
    *) fail "no device image for $arch: amd64 and arm64 only" ;;
esac
base_key=$({ declare -f inside make_base; echo "$release $arch $depends"; } | sha256sum | cut -c1-16)
image_key=$({ cat "$0"; echo "$base_key"; sha256sum <"$deb"; } | sha256sum | cut -c1-16)
base=$cache/base-$base_key
image=$cache/image-$image_key
if $base_cached_only; then
    [ -d "$base/root" ]
    exit
fi
if [ -f "$image/disk.raw" ]; then
    say "cached image $image (package $(basename "$deb"))"
    echo "$image"
    exit 0
fi
mkdir -p "$cache"

if [ -d "$base/root" ]; then
    say "cached base root $base"
else
    make_base
fi

say "installing $(basename "$deb") and its acpid and logind bindings on a copy of the base"
work=$cache/making-image
rm -rf --one-file-system "$work"
mkdir -p "$work"
cp -a "$base/root" "$work/root"
root=$work/root
cp "$deb" "$root/tmp/powermenu.deb"
inside "$root" dpkg -i /tmp/powermenu.deb >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log" >&2; fail "dpkg could not install the package (log above)"; }
rm -f "$root/tmp/powermenu.deb"
# Exactly as the package's examples tell a user to.
examples=$root/usr/share/doc/powermenu/examples
install -m 644 "$examples/acpid/powermenu" "$root/etc/acpi/events/powermenu"
install -m 755 "$examples/acpid/powermenu.sh" "$root/etc/acpi/powermenu.sh"
install -D -m 644 "$examples/logind/powermenu.conf" "$root/etc/systemd/logind.conf.d/powermenu.conf"

say "mkfs.ext4: writing the root into disk.raw"
size_mb=$(($(du -sm "$root" | cut -f1) * 13 / 10 + 64))
mkfs.ext4 -q -F -L device -d "$root" "$work/disk.raw" "${size_mb}M" >&2 ||
    fail "mkfs.ext4 could not make the image"
cp "$base/vmlinuz" "$base/initrd.img" "$work/"
rm -rf --one-file-system "$work/root"
rm -rf --one-file-system "$image"
mv "$work" "$image"
# Older images of other packages are of no further use.
for old in "$cache"/image-*; do
    [ "$old" = "$image" ] || rm -rf --one-file-system "$old"
done
say "image ready: $image ($size_mb MB)"
echo "$image"
