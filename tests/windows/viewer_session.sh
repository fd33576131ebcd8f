#!/bin/bash
# SPDX-License-Identifier: MIT
# viewer_session.sh TARVIK_EXE WINE WINESERVER PREFIX SAMPLES [LINUX_TARVIK]
#
# The Windows viewer under Wine, as a user has it: started with the officer (under a name in Latin,
# Cyrillic and Japanese letters), the walk and the rifle on its command line, it prints its start-up steps and draws them; its picture matches the Linux
# viewer's of the same scene; a command key changes the picture; the open chooser takes a typed
# name and loads that model; closing the window ends it in order. Runs on a fresh Xvfb display of
# its own and a Wine prefix of its own; exits 77 (skipped) without xvfb-run, xdotool or ImageMagick.
#
# Index: set-up | helpers | session
set -u

# ---- set-up

tarvik=$(readlink -f "$1")
wine=$2
wineserver=$3
prefix=$4
samples=$(readlink -f "$5")
linux_tarvik=${6:+$(readlink -f "$6")}

skip() {
    echo "skipped: $*"
    exit 77
}
for tool in xvfb-run xdotool import compare convert; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
if [ -z "${TARVIK_WINE_OWN_DISPLAY:-}" ]; then
    TARVIK_WINE_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
viewer_pid=
cleanup() {
    [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
    "$wineserver" -k 2>/dev/null
    if [ -n "${TARVIK_WINE_KEEP:-}" ]; then
        mkdir -p "$TARVIK_WINE_KEEP"
        cp "$work"/*.png "$work"/*.log "$TARVIK_WINE_KEEP"/ 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/samples" "$prefix"
cp "$samples"/* "$work/samples/"
# A prefix of this display's own: one made on another display (or none) would open no windows here.
"$wineserver" -k 2>/dev/null
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w

# ---- helpers

. "$(dirname "$0")/../common/viewer_session_helpers.sh"
# Wine starts its windows more slowly than the Linux viewer.
FIND_WINDOW_SECONDS=30

# Waits until the file has the fixed string, while the viewer runs.
wait_text() {
    local deadline=$((SECONDS + 30))
    while ((SECONDS < deadline)); do
        grep -qF -- "$2" "$1" && return 0
        [ -n "$viewer_pid" ] && ! kill -0 "$viewer_pid" 2>/dev/null && return 1
        sleep 0.1
    done
    return 1
}

# Pixels of two pictures that differ by more than 4% in any channel.
differing_pixels() {
    compare -metric AE -fuzz 4% "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

capture() {
    sleep 0.5
    import -window "$1" "$2" || fail "cannot capture window $1"
}

# Presses and releases key in the window, which has the keyboard focus.
press() {
    xdotool windowfocus "$1" 2>/dev/null
    sleep 0.2
    xdotool key "$2"
    sleep 0.3
}

# ---- session

step "start the viewer with the officer, the walk and the rifle"
cd "$work/samples" || exit 1
# The officer under a name in three scripts, which the command line must bring through whole.
officer="Jürgen_Мир_日本.tkm"
cp SWT_Officer.tkm "$officer"
"$wine" "$tarvik" "$officer" SWT_Walk.tka Rifle.tkm >"$work/out.log" 2>"$work/err.log" &
viewer_pid=$!
gl_window=$(find_window '^TarvikViewer$') || fail "the OpenGL window did not appear"
xdotool windowmove "$gl_window" 0 0
wait_text "$work/out.log" "Loading mesh: " || fail "nothing was loaded"
for line in "Processing command line: OK" "SDL initialisation: version " "Creating surface: " \
            "Initialising 640x480 OpenGL window:" "OpenGL is ready." "Initialising DevIL: OK" \
            "Initialising GUI: OK!" "Checking joysticks: 0"; do
    grep -qF -- "$line" "$work/out.log" || fail "the start-up did not print \"$line\""
done
grep -qF "samples/$officer" "$work/out.log" || fail "the officer's name did not come through whole"
grep -q "load_textures() returned" "$work/out.log" && fail "the sample textures did not all load"
grep -q "Error" "$work/err.log" && fail "a file on the command line was refused"

capture "$gl_window" "$work/windows.png"
drawn=$(drawn_fraction "$work/windows.png")
echo "drawn: $drawn of the view"
at_least "$drawn" 0.03 || fail "the officer and the rifle are not drawn ($drawn of the view)"

if [ -n "$linux_tarvik" ] && [ -x "$linux_tarvik" ]; then
    step "the same scene in the Linux viewer"
    "$linux_tarvik" SWT_Officer.tkm SWT_Walk.tka Rifle.tkm >"$work/linux.log" 2>&1 &
    linux_pid=$!
    linux_window=$(xdotool search --sync --onlyvisible --pid "$linux_pid" --name '^TarvikViewer$' \
                   2>/dev/null | head -n 1)
    [ -n "$linux_window" ] || fail "the Linux viewer did not open"
    xdotool windowmove "$linux_window" 0 500
    capture "$linux_window" "$work/linux.png"
    kill "$linux_pid" 2>/dev/null
    wait "$linux_pid" 2>/dev/null
    # Both draw with Mesa's llvmpipe in the same render state; the depth buffers may differ in
    # depth (Wine's WGL and SDL's GLX choose their own), which can settle a few pixels where
    # surfaces touch differently. A real difference (a missing texture, a turned model, another
    # frame) changes thousands.
    differ=$(differing_pixels "$work/windows.png" "$work/linux.png")
    echo "pixels that differ from the Linux viewer's: $differ of 307200"
    at_least 1536 "$differ" || fail "the picture differs from the Linux viewer's ($differ pixels)"
fi

step "a command key: 4 turns the wire view on"
press "$gl_window" 4
capture "$gl_window" "$work/wire.png"
changed=$(differing_pixels "$work/windows.png" "$work/wire.png")
echo "pixels changed by the wire view: $changed"
at_least "$changed" 500 || fail "key 4 did not change the picture ($changed pixels)"
press "$gl_window" 4

step "m opens the chooser, which takes a typed name"
press "$gl_window" m
chooser=$(find_window '^Load TarvikMesh$') || fail "m did not open the chooser"
xdotool windowfocus "$chooser" 2>/dev/null
sleep 0.5
rifle=$(printf 'Z:%s\\Rifle.tkm' "$(echo "$work/samples" | tr '/' '\\')")
xdotool type --delay 10 "$rifle"
xdotool key Return
wait_window_gone '^Load TarvikMesh$' || fail "the chooser did not close"
# The chooser answers with Windows' separators throughout, the command line's files end in "/NAME".
wait_text "$work/out.log" 'samples\Rifle.tkm' || fail "the chosen model was not loaded"

step "closing the window ends the viewer in order"
press "$gl_window" alt+F4
for i in $(seq 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer did not end"
wait "$viewer_pid"
status=$?
viewer_pid=
[ "$status" -eq 0 ] || fail "the viewer ended with status $status"
for line in "Freeing surface: OK!" "GUI shutdown: OK!" "SDL shutdown: OK!"; do
    grep -qF -- "$line" "$work/out.log" || fail "the shut-down did not print \"$line\""
done
echo "PASS"
