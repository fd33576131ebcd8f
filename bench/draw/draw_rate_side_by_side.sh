#!/bin/bash
# SPDX-License-Identifier: MIT
# draw_rate_side_by_side.sh LINUX_BUILD WINDOWS_BUILD: the frame time of the Linux viewer and of
# the Windows viewer under Wine, on the 65,535-triangle mesh make_dense_model writes, on one Xvfb
# display and in turns (three of each), so that a change in the machine's load falls on both; then
# the Windows viewer's speed as a share of the Linux one's (1: as fast). Not run by CTest.
set -eu
linux=$(readlink -f "$1") windows=$(readlink -f "$2")
if [ -z "${TARVIK_OWN_DISPLAY:-}" ]; then
    TARVIK_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT
"$linux/bench/render/make_dense_model" "$work" >/dev/null
wine wineboot --init >/dev/null 2>&1
wineserver -w
cd "$work"
time_of() { "$@" Dense.tkm 2>/dev/null | tr -d '\r' | sed -n 's/^draw_frame: \([0-9.]*\) ms$/\1/p'; }
linux_times=() windows_times=()
for round in 1 2 3; do
    linux_times+=("$(time_of "$linux/bench/draw/draw_rate")")
    windows_times+=("$(time_of wine "$windows/draw_rate.exe")")
done
best() { printf '%s\n' "$@" | sort -g | head -n 1; }
l=$(best "${linux_times[@]}") w=$(best "${windows_times[@]}")
echo "Linux viewer (SDL, GLX):   $l ms a frame (rounds: ${linux_times[*]})"
echo "Windows viewer (WGL, Wine): $w ms a frame (rounds: ${windows_times[*]})"
awk -v l="$l" -v w="$w" 'BEGIN { printf "Windows speed / Linux speed: %.2f\n", l / w }'
