#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: packaging_check.sh SOURCE_DIR VERSION TARVIK TKMTOOL LARKSPUR_PC
# The packaging agrees with the build: debian/control builds with what "make deps" installs, and
# the one version number of the build is the packages' version, the programs' --version and
# larkspur.pc's.
set -eu
src=$1 version=$2 tarvik=$3 tkmtool=$4 pc=$5
status=0
fail() { echo "FAIL: $*"; status=1; }

# Build-Depends as two sorted lists, the plain ones and those marked <!nocheck>; debhelper comes
# through its compat level.
depends=$(perl -MDpkg::Control::Info -e \
    'print Dpkg::Control::Info->new($ARGV[0])->get_source->{"Build-Depends"}' \
    "$src/debian/control" | tr ',' '\n' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//' | grep -v '^$')
names() { sed 's/[[:space:]].*//; s/^debhelper-compat$/debhelper/' | grep -v '^debhelper$' | sort | tr '\n' ' '; }
plain=$(echo "$depends" | grep -v '<!nocheck>' | names)
check=$(echo "$depends" | grep '<!nocheck>' | names)
deps=$(make -s --no-print-directory -C "$src" print-build-depends)
make_plain=$(echo "${deps%%|*}" | tr ' ' '\n' | grep -v '^$' | sort | tr '\n' ' ')
make_check=$(echo "${deps#*|}" | tr ' ' '\n' | grep -v '^$' | sort | tr '\n' ' ')
[ "$plain" = "$make_plain" ] ||
    fail "Build-Depends '$plain' but the Makefile's BUILD_PACKAGES '$make_plain'"
[ "$check" = "$make_check" ] ||
    fail "Build-Depends <!nocheck> '$check' but the Makefile's CHECK_PACKAGES '$make_check'"
grep -q '^TOOL_PACKAGES = .*debhelper' "$src/Makefile" || fail "make deps does not install debhelper"

changelog=$(dpkg-parsechangelog -l "$src/debian/changelog" -S Version)
[ "$changelog" = "$version" ] || fail "debian/changelog is at $changelog, the build at $version"
[ "$(env -u DISPLAY "$tarvik" --version)" = "tarvik $version" ] || fail "tarvik --version"
[ "$("$tkmtool" --version)" = "tkmtool $version" ] || fail "tkmtool --version"
grep -qx "Version: $version" "$pc" || fail "larkspur.pc has $(grep '^Version' "$pc")"
addon=$src/blender/io_scene_tkm
grep -qx "version = \"$version\"" "$addon/blender_manifest.toml" ||
    fail "the Blender extension's manifest has $(grep '^version' "$addon/blender_manifest.toml")"
bl_info=$(sed -n 's/^ *"version": (\([0-9]*\), \([0-9]*\), \([0-9]*\)),$/\1.\2.\3/p' "$addon/__init__.py")
[ "$bl_info" = "$version" ] || fail "the add-on's bl_info is at version '$bl_info'"
# One licence for the project, another for the add-on, named alike everywhere.
grep -q '^MIT License$' "$src/LICENSE" || fail "LICENSE is not the MIT licence"
grep -q 'GNU GENERAL PUBLIC LICENSE' "$addon/LICENSE" && grep -q 'Version 2, June 1991' "$addon/LICENSE" ||
    fail "the add-on's LICENSE is not the GPL, version 2"
grep -qx 'license = \["SPDX:GPL-2.0-or-later"\]' "$addon/blender_manifest.toml" ||
    fail "the extension's manifest does not name GPL-2.0-or-later"
for licence in Expat GPL-2+; do
    grep -qx "License: $licence" "$src/debian/copyright" || fail "debian/copyright lacks $licence"
done
[ $status -eq 0 ] && echo "packaging agrees with the build at version $version"
exit $status
