#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: install_check.sh BUILD_DIR PROGRAM.c
#        install_check.sh --system PROGRAM.c
# cmake --install into a scratch prefix (or, with --system, the library as installed on this
# system, by its packages), then compile, link and run a C program that finds the library through
# its pkg-config file.
set -eu
build=$1 program=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$build" = --system ]; then
    libdir=
else
    prefix=$work
    cmake --install "$build" --prefix "$prefix" > "$prefix/install.log"
    libdir=$(ls -d "$prefix"/lib*/ | head -n 1)
    for file in bin/tarvik bin/tkmtool include/larkspur/file.h include/larkspur/library.h \
                include/larkspur/paths.h \
                share/man/man1/tarvik.1 share/man/man1/tkmtool.1 \
                share/bash-completion/completions/tkmtool \
                share/blender/scripts/addons/io_scene_tkm/__init__.py; do
        [ -e "$prefix/$file" ] || { echo "missing after install: $file"; exit 1; }
    done
    ls "$libdir"liblarkspur.so* > /dev/null
    ls "$libdir"pkgconfig/larkspur.pc > /dev/null
    export PKG_CONFIG_PATH="${libdir}pkgconfig"
fi
cc ${CHECK_CFLAGS:-} -std=c11 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags larkspur) "$program" \
   -o "$work/use_larkspur" $(pkg-config --libs larkspur)
LD_LIBRARY_PATH="$libdir" "$work/use_larkspur" "$work/scratch-target"
[ "$(cat "$work/scratch-target")" = "larkspur" ] || { echo "scratch file not in place"; exit 1; }
echo "installed and used"
