#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: bench_startup.sh BUILD_DIR [RUNS]
# Whole-process comparisons of tkmtool and the viewer with other tools on the same models, each
# beside its anchor in one run (compare figures within a run: the machine's load is printed):
#   tkmtool info of the officer        against  assimp info of the officer exported as .glb
#   tkmtool --help                     (alone: a start-up with nothing to load)
#   tkmtool convert of that .glb       against  assimp export of the same .glb (as OBJ: assimp
#                                      5.2's glTF writer crashes on a skinned, animated model)
#   tkmtool convert of the grid .glb   against  assimp export of the same .glb as OBJ (the
#                                      10,000-triangle grid below, exported by tkmtool)
#   tkmtool export-gltf of Grid.ms3d   against  assimp export of the same file (10,000 triangles)
#   tkmtool thumbnail -s 256           against  f3d --output of the .glb
#   the viewer untouched for 10 s with the officer loaded, then playing the walk, in CPU-seconds,
#   beside tarvik.exe under Wine (when build-windows has it) and f3d showing the .glb the same way.
# Installs nothing: an anchor whose tool is missing is skipped, and so are the viewer's figures
# without a display (run it under xvfb-run) or xdotool. Needs hyperfine for the timings.
set -eu
build=$(cd "$1" && pwd)
runs=${2:-20}
root=$(cd "$(dirname "$0")/../.." && pwd)
tkmtool="$build/tools/tkmtool/tkmtool"
viewer="$build/tarvik"
samples="$root/samples"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
have() { command -v "$1" >/dev/null 2>&1; }
[ -f "$samples/SWT_Officer.tkm" ] || { echo "no samples: build the 'samples' target first"; exit 1; }
have hyperfine || { echo "hyperfine is not installed: no timings"; exit 1; }

# The inputs: the officer with his walk as .glb, and the grid model, also as .glb.
"$tkmtool" export-gltf --anim "$samples/SWT_Walk.tka" "$samples/SWT_Officer.tkm" \
    "$work/officer.glb" >/dev/null
"$build/bench/startup/make_grid_model" "$work"
"$tkmtool" export-gltf "$work/Grid.ms3d" "$work/grid_in.glb" >/dev/null 2>&1

echo "load before: $(uptime)"
# compare NAME COMMAND [ANCHOR_TOOL ANCHOR_NAME ANCHOR_COMMAND]
compare() {
    if [ $# -gt 2 ] && have "$3"; then
        hyperfine -N --warmup 3 --runs "$runs" -n "$1" "$2" -n "$4" "$5" ||
            echo "(a run of $1 or $4 failed)"
    else
        [ $# -gt 2 ] && echo "($3 is not installed: $4 skipped)"
        hyperfine -N --warmup 3 --runs "$runs" -n "$1" "$2" || echo "(a run of $1 failed)"
    fi
}
compare "tkmtool info officer.tkm" "$tkmtool info $samples/SWT_Officer.tkm" \
        assimp "assimp info officer.glb" "assimp info $work/officer.glb"
compare "tkmtool --help" "$tkmtool --help"
compare "tkmtool convert officer.glb" "$tkmtool convert $work/officer.glb $work/converted.tkm" \
        assimp "assimp export officer.glb to .obj" "assimp export $work/officer.glb $work/assimp.obj"
compare "tkmtool convert grid.glb" "$tkmtool convert $work/grid_in.glb $work/grid_converted.tkm" \
        assimp "assimp export grid.glb to .obj" \
        "assimp export $work/grid_in.glb $work/grid_assimp.obj"
compare "tkmtool export-gltf Grid.ms3d" "$tkmtool export-gltf $work/Grid.ms3d $work/grid.glb" \
        assimp "assimp export Grid.ms3d" "assimp export $work/Grid.ms3d $work/grid_assimp.glb"
thumbnail="$tkmtool thumbnail -s 256 $samples/SWT_Officer.tkm $work/thumb.png"
if [ -n "${DISPLAY:-}" ]; then
    compare "tkmtool thumbnail -s 256 officer" "$thumbnail" \
            f3d "f3d --output officer.glb" \
            "f3d --resolution 256,256 --output $work/f3d.png $work/officer.glb"
else
    echo "(no display: f3d --output skipped)"
    compare "tkmtool thumbnail -s 256 officer" "$thumbnail"
fi

# CPU-seconds (user and system, children included) a process has used.
cpu_seconds() {
    awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15 + $16 + $17) / hz }' "/proc/$1/stat"
}
# cpu_over_10s PID: CPU-seconds PID uses in the next 10 s.
cpu_over_10s() {
    before=$(cpu_seconds "$1")
    sleep 10
    after=$(cpu_seconds "$1")
    echo "$after $before" | awk '{ printf "%.2f", $1 - $2 }'
}
# watch NAME WINDOW_NAME COMMAND...: the CPU-seconds of 10 s untouched, then of 10 s playing
# (Space pressed in the window), once the program has settled after loading.
watch() {
    name=$1 window=$2
    shift 2
    "$@" >/dev/null 2>&1 &
    pid=$!
    sleep 4
    # A program started through a launcher (Wine's) is watched as the process named after it.
    if [ -n "${WATCH_PROCESS:-}" ]; then
        launcher=$pid
        pid=$(pgrep -n -x "$WATCH_PROCESS" || echo "$launcher")
    fi
    idle=$(cpu_over_10s "$pid")
    id=$(xdotool search --name "$window" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then
        # Wine gives the keyboard to the window it last activated (the viewer's menu window) until
        # a click in the OpenGL window activates that, as a user's would: at its far corner, which
        # the menu window, starting at the near one, does not cover.
        xdotool windowfocus "$id" 2>/dev/null || true
        xdotool mousemove --window "$id" 630 470 click 1
        sleep 0.3
        xdotool key space
        sleep 1
        playing=$(cpu_over_10s "$pid")
    else
        playing="(window not found)"
    fi
    kill "$pid" ${launcher:-} 2>/dev/null || true
    wait "${launcher:-$pid}" 2>/dev/null || true
    launcher=
    printf '%-44s idle 10 s: %s CPU-s   playing 10 s: %s CPU-s\n' "$name" "$idle" "$playing"
}
if [ -n "${DISPLAY:-}" ] && have xdotool; then
    (cd "$samples" && watch "tarvik SWT_Officer.tkm SWT_Walk.tka" '^TarvikViewer$' \
        "$viewer" SWT_Officer.tkm SWT_Walk.tka)
    # The Windows viewer under Wine beside it, when the Windows build (make windows) is there.
    windows_viewer=${TARVIK_WINDOWS_BUILD:-$root/build-windows}/tarvik.exe
    wine=/usr/lib/wine/wine64
    if [ -f "$windows_viewer" ] && [ -x "$wine" ]; then
        export WINEPREFIX="$work/wine-prefix" WINEDEBUG=-all
        "$wine" wineboot --init >/dev/null 2>&1
        (cd "$samples" && WATCH_PROCESS=tarvik.exe watch "tarvik.exe under Wine, the same files" \
            '^TarvikViewer$' "$wine" "$windows_viewer" SWT_Officer.tkm SWT_Walk.tka)
        /usr/lib/wine/wineserver -k 2>/dev/null || true
    else
        echo "(no Windows build or no Wine: tarvik.exe's idle figures skipped)"
    fi
    if have f3d; then
        watch "f3d officer.glb" '[Ff]3[Dd]' f3d "$work/officer.glb"
    else
        echo "(f3d is not installed: its idle figures skipped)"
    fi
else
    echo "(no display or no xdotool: the viewer's idle figures skipped)"
fi
echo "load after: $(uptime)"
