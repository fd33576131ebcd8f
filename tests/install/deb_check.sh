#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: deb_check.sh DEB_DIR SAMPLEGEN   (as root: it installs and purges system packages)
# The packages from "make deb" tried as installed: apt-get installs them with their dependencies,
# then the programs, the thumbnailer as a file manager runs it, the MIME database, the manual
# pages and the library with its pkg-config file are checked in place; a purge must take away
# every file the packages brought.
set -eu
debs=$(cd "$1" && pwd) samplegen=$2
here=$(cd "$(dirname "$0")" && pwd)
packages="tarvik tkmtool liblarkspur1 liblarkspur-dev"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }
# Waits for another apt or dpkg run to finish rather than failing on its lock.
apt_get() { DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y -qq "$@" </dev/null >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; exit 1; }; }

files=""
for package in $packages; do
    deb=$(ls "$debs/${package}_"*.deb)
    files="$files $deb"
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||' | grep -v '^$' >>"$work/paths"
done
version=$(dpkg-deb -f "$(ls "$debs"/tarvik_*.deb)" Version)
# What is there before, so that the purge is judged only on what the packages added.
installed=$(for package in $packages; do
    dpkg-query -W -f='${db:Status-Abbrev}${Package}\n' "$package" 2>/dev/null | sed -n 's/^i[^ ]* *//p'
done)
[ -z "$installed" ] || apt_get purge $installed
sort -u "$work/paths" | while read -r path; do
    [ -e "$path" ] || [ -L "$path" ] || echo "$path"
done >"$work/new"

apt_get install $files
for package in $packages; do
    [ "$(dpkg-query -W -f='${Status} ${Version}' "$package")" = "install ok installed $version" ] ||
        fail "$package is not installed at $version"
done

[ "$(env -u DISPLAY tarvik --version)" = "tarvik $version" ] || fail "tarvik --version"
[ "$(tkmtool --version)" = "tkmtool $version" ] || fail "tkmtool --version"
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER tarvik 2>&1) && fail "tarvik ran"
case $out in "tarvik: no display is set"*) ;; *) fail "tarvik without a display said: $out" ;; esac
if command -v man >/dev/null; then
    man -w tarvik >/dev/null 2>&1 && man -w tkmtool >/dev/null 2>&1 || fail "man finds no pages"
fi
for page in tarvik tkmtool; do
    gzip -dc "/usr/share/man/man1/$page.1.gz" >"$work/$page.1"
done
"$here/man_lint.sh" "$work/tarvik.1" "$work/tkmtool.1" || fail "installed manual pages"
[ -f /usr/share/bash-completion/completions/tkmtool ] || fail "no bash completion"
desktop-file-validate /usr/share/applications/tarvik.desktop || fail "desktop entry"
# The Blender add-on sits in Blender's system add-on folder; where Blender is installed, it
# enables the add-on from there (user folders of its own, so no user copy can stand in).
addon=/usr/share/blender/scripts/addons/io_scene_tkm
[ -f "$addon/__init__.py" ] || fail "no Blender add-on in $addon"
if command -v blender >/dev/null 2>&1; then
    mkdir "$work/blender-user"
    BLENDER_USER_SCRIPTS="$work/blender-user" BLENDER_USER_CONFIG="$work/blender-user" \
        blender -b --factory-startup --python-exit-code 1 --python-expr "import addon_utils
module = addon_utils.enable('io_scene_tkm', handle_error=None)
assert module and module.__file__ == '$addon/__init__.py', module" >"$work/blender.log" 2>&1 ||
        { cat "$work/blender.log"; fail "Blender does not enable the installed add-on"; }
fi

# The package's trigger has updated the MIME database: it knows the game's extensions.
grep -qx 'model/x-tarvik-mesh:\*\.tkm' /usr/share/mime/globs || fail "MIME database lacks .tkm"
grep -qx 'model/x-tarvik-animation:\*\.tka' /usr/share/mime/globs || fail "MIME database lacks .tka"
[ -f /usr/share/mime/model/x-tarvik-mesh.xml ] || fail "MIME database lacks model/x-tarvik-mesh"

"$here/thumbnailer_check.sh" --system "$samplegen" || fail "installed thumbnailer"
pkg-config --cflags --libs larkspur >/dev/null || fail "pkg-config larkspur"
"$here/install_check.sh" --system "$here/use_larkspur.c" || fail "a program on the installed library"

for package in $packages; do
    echo "== $package $version"
    dpkg -L "$package" | while read -r path; do [ -d "$path" ] || echo "$path"; done
done

apt_get purge $packages
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "left after the purge: $path"; fi
done <"$work/new"
grep -q 'tarvik' /usr/share/mime/globs && fail "the MIME database still knows the tarvik types"
[ $status -eq 0 ] && echo "packages installed, used and purged without a trace"
exit $status
