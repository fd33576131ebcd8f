#!/bin/bash
# SPDX-License-Identifier: MIT
# run_on_display.sh WINE WINESERVER PREFIX SAMPLES PROGRAM [ARGS...]
#
# A Windows test program that opens windows, run under Wine on a fresh Xvfb display of its own, in
# a Wine prefix made on that display (one made on another display, or none, opens no windows) and
# in a scratch copy of the samples, so that what it changes there is thrown away. Exits 77
# (skipped) without xvfb-run; otherwise with the program's status.
set -u
wine=$1 wineserver=$2 prefix=$3 samples=$(readlink -f "$4") program=$(readlink -f "$5")
shift 5

command -v xvfb-run >/dev/null 2>&1 || { echo "skipped: xvfb-run is not installed"; exit 77; }
if [ -z "${TARVIK_WINE_OWN_DISPLAY:-}" ]; then
    TARVIK_WINE_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash \
        "$0" "$wine" "$wineserver" "$prefix" "$samples" "$program" "$@"
fi

work=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT
mkdir -p "$prefix"
cp "$samples"/* "$work/"
"$wineserver" -k 2>/dev/null
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
cd "$work" && "$wine" "$program" "$@" </dev/null
