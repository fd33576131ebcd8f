#!/bin/bash
# SPDX-License-Identifier: MIT
# viewer_session.sh TARVIK_EXE WINE WINESERVER PREFIX SAMPLES [LINUX_TARVIK]
#
# The Windows viewer under Wine, as a user has it: started with the officer (under a name in Latin,
# Cyrillic and Japanese letters), the walk and the rifle on its command line, it prints its
# start-up steps and draws them; its picture matches the Linux viewer's of the same scene, and so
# does the bitmap its screenshot picture writes under a typed name; a command key changes the
# picture; the open chooser takes a typed name and loads that model; the mesh picture opens the
# mesh window, whose Wire box changes the picture and whose Save onto a read-only file shows the
# message box and keeps the file; closing the window ends it in order, and so does the exit
# picture. Runs on a fresh Xvfb display of its own and a Wine prefix of its own; exits 77
# (skipped) without xvfb-run, xdotool or ImageMagick.
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

# Presses and releases key in the window. Without a window manager Wine keeps the keyboard with
# the window it last activated (a tool window, once one opened), whatever X's focus: a click in
# the window's corner activates it, as a user's would.
press() {
    xdotool mousemove --window "$1" 2 2 click 1
    sleep 0.2
    xdotool key "$2"
    sleep 0.3
}

# Clicks the point of a dialog given in its dialog units: a window of units_wide x units_high
# units, whose X window is its client area (there is no window manager to frame it).
click_units() {
    local window=$1 units_wide=$2 units_high=$3 x=$4 y=$5 WIDTH HEIGHT
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
    xdotool mousemove --window "$window" $((x * WIDTH / units_wide)) $((y * HEIGHT / units_high))
    sleep 0.2
    xdotool click 1
    sleep 0.5
}

# Answers the chooser titled $1 with the Windows path of the file $2 of the working folder.
answer_chooser() {
    local chooser
    chooser=$(find_window "^$1\$") || fail "the chooser \"$1\" did not open"
    xdotool windowfocus "$chooser" 2>/dev/null
    sleep 0.5
    # Slowly: a letter beyond the keyboard's map is typed through a key xdotool maps for it,
    # and under load a quick next letter can take that key before Wine has read the first.
    xdotool type --delay 60 "$(printf 'Z:%s\\%s' "$(pwd | tr '/' '\\')" "$2")"
    xdotool key Return
    wait_window_gone "^$1\$" || fail "the chooser \"$1\" did not close"
}

# Waits for the viewer to end and checks it ended in order.
ended_in_order() {
    for i in $(seq 100); do kill -0 "$viewer_pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer did not end"
    wait "$viewer_pid"
    status=$?
    viewer_pid=
    [ "$status" -eq 0 ] || fail "the viewer ended with status $status"
    for line in "Freeing surface: OK!" "GUI shutdown: OK!" "SDL shutdown: OK!"; do
        grep -qF -- "$line" "$work/out.log" || fail "the shut-down did not print \"$line\""
    done
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
# The menu window starts over the OpenGL window's corner: beside it, nothing hides the view.
menu=$(find_window '^TarvikMenu$') || fail "the menu window did not appear"
xdotool windowmove "$menu" 700 0
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

step "the screenshot picture writes the view as a bitmap under a typed name"
# The menu is 161 x 71 units; the screenshot picture is at 135, 47, 21 x 20.
click_units "$menu" 161 71 145 57
answer_chooser "Choose filename to take screenshot" shot
wait_text "$work/out.log" "Saved screenshot at " || fail "no screenshot was taken"
[ "$(head -c 2 shot.bmp)" = BM ] || fail "the screenshot is no bitmap (shot.bmp, the name typed with .bmp)"
[ "$(identify -format '%w %h' shot.bmp)" = "640 480" ] || fail "the screenshot is not the 640x480 view"
convert shot.bmp "$work/shot.png"
if [ -f "$work/linux.png" ]; then
    # The same tolerance as the window against the Linux viewer's, for the same reason.
    differ=$(differing_pixels "$work/shot.png" "$work/linux.png")
    echo "pixels of the screenshot that differ from the Linux viewer's picture: $differ"
    at_least 1536 "$differ" || fail "the screenshot differs from the Linux viewer's ($differ pixels)"
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

step "the mesh picture opens the mesh window, whose Wire box changes the picture"
# The mesh picture is at 7, 10, 48 x 34 units of the menu.
click_units "$menu" 161 71 31 27
mesh=$(find_window '^TarvikMesh$') || fail "the mesh picture did not open the mesh window"
xdotool windowmove "$mesh" 700 200
sleep 0.5
capture "$gl_window" "$work/before_wire.png"
# The mesh window is 210 x 87 units; Wire is at 61, 70, 42 x 10.
click_units "$mesh" 210 87 66 75
capture "$gl_window" "$work/wire_box.png"
changed=$(differing_pixels "$work/before_wire.png" "$work/wire_box.png")
echo "pixels changed by the Wire box: $changed"
at_least "$changed" 500 || fail "the Wire box did not change the picture ($changed pixels)"
click_units "$mesh" 210 87 66 75

step "Save onto a read-only file shows the message box and keeps the file"
cp SWT_Officer.tkm kept.tkm
chmod 444 kept.tkm
kept=$(md5sum <kept.tkm)
# Save is at 57, 32, 45 x 18 units of the mesh window.
click_units "$mesh" 210 87 79 41
answer_chooser "Save TarvikMesh" kept.tkm
notice=$(find_window '^Failed to write TKM$') || fail "no message box told of the failed save"
xdotool windowfocus "$notice" 2>/dev/null
sleep 0.3
xdotool key Return
wait_window_gone '^Failed to write TKM$' || fail "the message box did not close"
[ "$(md5sum <kept.tkm)" = "$kept" ] || fail "the read-only file was changed"

step "Save under a name in Latin, Cyrillic and Japanese letters writes the model"
saved="Сохранён_Müller_日本.tkm"
click_units "$mesh" 210 87 79 41
answer_chooser "Save TarvikMesh" "$saved"
for i in $(seq 100); do [ -s "$saved" ] && break; sleep 0.1; done
[ -s "$saved" ] || fail "nothing was saved as $saved ($(ls))"
cmp -s "$saved" SWT_Officer.tkm || fail "$saved is not the officer as loaded"

step "closing the window ends the viewer in order"
press "$gl_window" alt+F4
ended_in_order

step "a broken model is refused with its reason, a path over 260 characters loads or is refused with one; the exit picture ends the viewer"
# The officer cut off in its vertices: a TKM whose counts promise more than the file holds.
head -c 200 SWT_Officer.tkm >Broken.tkm
deep=$work/samples
while [ ${#deep} -lt 300 ]; do deep=$deep/a_folder_to_make_the_path_long; done
mkdir -p "$deep"
cp Rifle.tkm swat_rifle.tga "$deep/"
long_rifle=$(printf 'Z:%s\\Rifle.tkm' "$(echo "$deep" | tr '/' '\\')")
"$wine" "$tarvik" SWT_Officer.tkm Broken.tkm "$long_rifle" >"$work/out.log" 2>"$work/err.log" &
viewer_pid=$!
find_window '^TarvikViewer$' >/dev/null || fail "the OpenGL window did not appear"
menu=$(find_window '^TarvikMenu$') || fail "the menu window did not appear"
xdotool windowmove "$menu" 700 0
sleep 0.5
wait_text "$work/out.log" "Loading mesh: " || fail "nothing was loaded"
sleep 1
grep -qF "a_folder_to_make_the_path_long\\Rifle.tkm" "$work/out.log" ||
    grep -q "too long" "$work/err.log" "$work/out.log" ||
    fail "the long path was neither loaded nor refused with a reason"
grep -qF "a_folder_to_make_the_path_long\\Rifle.tkm" "$work/out.log" &&
    echo "the path of ${#long_rifle} characters loaded" ||
    echo "the path of ${#long_rifle} characters: $(grep "too long" "$work/err.log" | head -n 1)"
grep -q "Error loading TarvikMesh: " "$work/err.log" || fail "the broken model was not refused with its reason"
grep -A1 "Error loading TarvikMesh: " "$work/err.log" | head -n 2
kill -0 "$viewer_pid" 2>/dev/null || fail "the viewer did not go on after the broken model"
# The exit picture is at 108, 10, 48 x 34 units.
click_units "$menu" 161 71 132 27
ended_in_order
echo "PASS"
