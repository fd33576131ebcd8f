#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: bench_render.sh BUILD_DIR [RUNS]
# Whole-process times of tkmtool with no display, as a file manager or a script runs it: a
# 256-pixel thumbnail of the largest sample model, and the 65,535-triangle ball that
# make_dense_model writes, loaded only (info), rendered at 640x480 and thumbnailed. The machine's
# load is printed before and after; compare figures within one run. Uses hyperfine when present.
set -eu
build=$(cd "$1" && pwd)
runs=${2:-20}
root=$(cd "$(dirname "$0")/../.." && pwd)
tkmtool="$build/tools/tkmtool/tkmtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/render/make_dense_model" "$work"
largest=$(ls -S "$root"/samples/*.tkm "$root"/samples/*.ms3d 2>/dev/null | head -n 1)
[ -n "$largest" ] || { echo "no samples: build the 'samples' target first"; exit 1; }
unset DISPLAY WAYLAND_DISPLAY

set -- "thumbnail -s 256 $(basename "$largest")" "$tkmtool thumbnail -s 256 $largest $work/t.png" \
       "info Dense.tkm (loading only)" "$tkmtool info $work/Dense.tkm" \
       "render Dense.tkm 640x480" "$tkmtool render $work/Dense.tkm $work/r.png" \
       "thumbnail -s 256 Dense.tkm" "$tkmtool thumbnail -s 256 $work/Dense.tkm $work/d.png"
echo "load before: $(uptime)"
if command -v hyperfine >/dev/null 2>&1; then
    hyperfine -N --warmup 3 --runs "$runs" -n "$1" "$2" -n "$3" "$4" -n "$5" "$6" -n "$7" "$8"
else
    while [ $# -gt 0 ]; do
        start=$(date +%s%N)
        i=0
        while [ $i -lt "$runs" ]; do $2 >/dev/null; i=$((i + 1)); done
        echo "$1: $(( ($(date +%s%N) - start) / runs / 1000000 )) ms a run, mean of $runs"
        shift 2
    done
fi
echo "load after: $(uptime)"
