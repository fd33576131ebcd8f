#!/bin/sh
# SPDX-License-Identifier: MIT
# The whole suite on Debian 13 with its own packages (g++ 14, tinygltf 2.9, sdl12-compat,
# ImageMagick 7, Blender 4): a minimal Debian 13 system is made with debootstrap from the mirror
# this machine uses, kept in SYSTEM_DIR so that later runs reuse it and its installed packages,
# and `make test` runs in a copy of the tree inside it.
#
# Usage: tools/debian13.sh SYSTEM_DIR [MAKE_TARGET...]   (targets default to "test")
# Needs root (debootstrap, chroot and mounts); without it, says so and skips (exit 0).
set -eu

system=${1:?usage: debian13.sh SYSTEM_DIR [MAKE_TARGET...]}
shift
[ $# -gt 0 ] || set -- test
tree=$(cd "$(dirname "$0")/.." && pwd)

if [ "$(id -u)" -ne 0 ]; then
    echo "test-debian13: making and entering a Debian 13 system needs root: skipped"
    exit 0
fi

# The mirror the machine already uses: the first URIs of a deb822 source, else the first deb line.
mirror() {
    uri=
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        uri=$(sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' \
              /etc/apt/sources.list.d/debian.sources | grep -v security | head -n 1)
    fi
    if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
        uri=$(sed -n 's/^deb[[:space:]]\{1,\}\(\[[^]]*\][[:space:]]\{1,\}\)\{0,1\}\([^[:space:]]*\).*/\2/p' \
              /etc/apt/sources.list | grep -v security | head -n 1)
    fi
    echo "${uri:-http://deb.debian.org/debian}"
}

# A system that debootstrap finished is marked; a half-made one is made again from scratch.
if [ ! -f "$system/.tarvik-complete" ]; then
    if ! command -v debootstrap >/dev/null 2>&1; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq \
            debootstrap </dev/null
    fi
    rm -rf "$system"
    mkdir -p "$(dirname "$system")"
    echo "Making Debian 13 in $system from $(mirror)"
    started=$(date +%s)
    rm -rf "$system.partial"
    debootstrap --variant=minbase trixie "$system.partial" "$(mirror)"
    # A throwaway system: dpkg need not sync every file it unpacks, and nobody reads its manuals.
    echo force-unsafe-io >"$system.partial/etc/dpkg/dpkg.cfg.d/tarvik-unsafe-io"
    printf '%s\n' 'path-exclude /usr/share/doc/*' 'path-include /usr/share/doc/*/copyright' \
        'path-exclude /usr/share/man/*' 'path-exclude /usr/share/info/*' \
        'path-exclude /usr/share/locale/*' >"$system.partial/etc/dpkg/dpkg.cfg.d/tarvik-no-docs"
    mv "$system.partial" "$system"
    echo "test-debian13: Debian 13 made in $(($(date +%s) - started)) s"
    touch "$system/.tarvik-complete"
fi

# Every mount made is listed, and removed again however the run ends.
mounted=
cleanup() {
    for point in $mounted; do
        umount -R "$point" 2>/dev/null || umount -R -l "$point" || true
    done
}
# The run inside goes in its own process group, so that a signal to this script ends all of it
# before the mounts are removed (a shell runs its traps only once a foreground child is done).
inside=
stop() {
    [ -z "$inside" ] || kill -TERM -- "-$inside" 2>/dev/null || true
    wait 2>/dev/null || true
    exit "$1"
}
trap cleanup EXIT
trap 'stop 130' INT
trap 'stop 143' TERM
for point in proc sys dev; do
    if mountpoint -q "$system/$point"; then
        echo "test-debian13: $system/$point is mounted already (another run?): stopping" >&2
        exit 1
    fi
done
mount -t proc proc "$system/proc"
mounted="$system/proc"
mount -t sysfs sysfs "$system/sys"
mounted="$system/sys $mounted"
# /dev with /dev/pts and /dev/shm under it; private, so unmounting it leaves the host's alone.
mount --rbind /dev "$system/dev"
mounted="$system/dev $mounted"
mount --make-rprivate "$system/dev"
cp /etc/resolv.conf "$system/etc/resolv.conf"

# The tree without builds; the glTF validator's modules are taken along (npm inside such a system
# may not trust the registry's certificate). The build folder stays between runs.
rm -rf "$system/root/tarvik"
mkdir -p "$system/root/tarvik"
(cd "$tree" && tar -c --exclude-vcs --exclude='./build*' --exclude=./samples/preview.png -f - .) |
    tar -x -C "$system/root/tarvik"

# The Blender extension for Windows, when the Windows downloads were made: Debian 13's Blender
# (4.2 or later) is the one here that can validate an extension.
rm -rf "$system/root/tarvik-dist"
extension=
for zip in "$tree"/build-windows/dist/io_scene_tkm-*-windows-x64.zip; do
    [ -f "$zip" ] || continue
    mkdir -p "$system/root/tarvik-dist"
    cp "$zip" "$system/root/tarvik-dist/"
    extension=/root/tarvik-dist/$(basename "$zip")
done

targets="$*"
setsid chroot "$system" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin TERM=dumb \
    DEBIAN_FRONTEND=noninteractive /bin/sh -c "
set -e
# A run ended during apt leaves dpkg half done; finished first, or every install refuses.
dpkg --configure -a
command -v make >/dev/null 2>&1 || { apt-get update -qq && apt-get install -y -qq make </dev/null; }
cd /root/tarvik
make BUILD=/root/tarvik-build JOBS=$(nproc) $targets
case ' $targets ' in *' test '*)
    # Skipped (77) counts as failed here: this system has the Blender that validates.
    if [ -n '$extension' ]; then
        echo 'test-debian13: validating $extension'
        sh tests/windows/extension_validate.sh '$extension'
    fi ;;
esac" </dev/null &
inside=$!
status=0
wait "$inside" || status=$?
inside=
exit "$status"
