#!/bin/sh
# Usage: install_check.sh BUILD_DIR PROGRAM.c
# cmake --install into a scratch prefix, then compile, link and run a C program that finds the
# library through its pkg-config file.
set -eu
build=$1 program=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > "$prefix/install.log"
libdir=$(ls -d "$prefix"/lib*/ | head -n 1)
for file in bin/tarvik include/larkspur/file.h include/larkspur/library.h \
            share/blender/scripts/addons/io_scene_tkm/__init__.py; do
  [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
done
ls "$libdir"liblarkspur.so* > /dev/null
ls "$libdir"pkgconfig/larkspur.pc > /dev/null
export PKG_CONFIG_PATH="${libdir}pkgconfig"
cc ${CHECK_CFLAGS:-} -std=c11 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags larkspur) "$program" \
   -o "$prefix/use_larkspur" $(pkg-config --libs larkspur)
LD_LIBRARY_PATH="$libdir" "$prefix/use_larkspur" "$prefix/scratch-target"
[ "$(cat "$prefix/scratch-target")" = "larkspur" ] || { echo "scratch file not in place"; exit 1; }
echo "installed and used"
