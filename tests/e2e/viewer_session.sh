#!/bin/bash
# SPDX-License-Identifier: MIT
# viewer_session.sh TARVIK SAMPLEGEN READ_BACK
#
# One session with the real viewer, as a person would have it: open the mesh window, press
# "Load", type a sample's path into the chooser, see the officer drawn, open the animation window,
# load the walk and play it, take a screenshot, save the mesh under a new name, read the saved
# file back, and leave through the exit picture. Runs on a fresh Xvfb display of its own when
# xvfb-run is there, else on the current one; needs xdotool and ImageMagick; exits 77 (skipped)
# without a display or the tools.
#
# Index: set-up | helpers | session
set -u

# ---- set-up

tarvik=$(readlink -f "$1")
samplegen=$(readlink -f "$2")
read_back=$(readlink -f "$3")

skip() {
    echo "skipped: $*"
    exit 77
}
# A display of its own: on a server that earlier clients have used, a session ends with two
# small leaks inside the system's libraries, which the sanitizer build reports.
if [ -z "${TARVIK_E2E_OWN_DISPLAY:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    TARVIK_E2E_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi
[ -n "${DISPLAY:-}" ] || skip "no X display (run the suite under xvfb-run)"
for tool in xdotool import convert compare; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done

work=$(mktemp -d)
viewer_pid=
cleanup() {
    if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then
        kill "$viewer_pid" 2>/dev/null
        wait "$viewer_pid" 2>/dev/null
    fi
    # TARVIK_E2E_KEEP=DIR keeps the captures and the console text for a look afterwards.
    if [ -n "${TARVIK_E2E_KEEP:-}" ]; then
        mkdir -p "$TARVIK_E2E_KEEP"
        cp "$work"/*.png "$work"/*.bmp "$work"/*.log "$TARVIK_E2E_KEEP"/ 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT

samples=$work/samples
mkdir -p "$samples" "$work/saved"
"$samplegen" "$samples" || { echo "FAIL: samplegen"; exit 1; }

# ---- helpers

. "$(dirname "$0")/../common/viewer_session_helpers.sh"

capture_view() {
    sleep 0.4
    import -window "$gl_window" "$1" || fail "cannot capture the viewer window"
}

# Waits until the viewer has printed text (a fixed string) on standard output.
wait_output() {
    local deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)); do
        grep -qF -- "$1" "$work/out.log" && return 0
        kill -0 "$viewer_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# A left click at (x, y) inside a window.
click() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
    sleep 0.3
}

# Answers the chooser titled $1 by typing the path $2, as a person types a location.
answer_chooser() {
    local chooser
    chooser=$(find_window "^$1\$") || fail "no chooser titled \"$1\""
    timeout 5 xdotool windowfocus --sync "$chooser" 2>/dev/null
    sleep 0.3
    xdotool key --clearmodifiers ctrl+l
    sleep 0.2
    xdotool type --delay 5 "$2"
    sleep 0.2
    xdotool key Return
    # The completion popup that typing a path opens may take the first Return.
    local deadline=$((SECONDS + 3))
    while ((SECONDS < deadline)) && xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; do
        sleep 0.1
    done
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && xdotool key Return
    wait_window_gone "^$1\$" || fail "the chooser \"$1\" did not close"
    sleep 0.5
}

# ---- session

step "start the viewer among the samples"
cd "$samples" || exit 1
"$tarvik" >"$work/out.log" 2>"$work/err.log" &
viewer_pid=$!
gl_window=$(find_window '^TarvikViewer$') || fail "the OpenGL window did not appear"
menu=$(find_window '^TarvikMenu$') || fail "the menu window did not appear"
# Without a window manager every window opens at the top left: keep the view unobstructed.
xdotool windowmove "$gl_window" 0 0
xdotool windowmove "$menu" 700 0
sleep 0.5
capture_view "$work/empty.png"
empty=$(drawn_fraction "$work/empty.png")
at_least 0.01 "$empty" || fail "the empty view is not the clear colour ($empty drawn)"

step "open the mesh window and load the officer"
click "$menu" 60 50
mesh_window=$(find_window '^TarvikMesh$') || fail "the mesh window did not open"
xdotool windowmove "$mesh_window" 700 200
sleep 0.3
click "$mesh_window" 59 82
answer_chooser "Load TarvikMesh" "$samples/SWT_Officer.tkm"
wait_output "Loading mesh: $samples/SWT_Officer.tkm" || fail "the officer was not loaded"
capture_view "$work/officer.png"
officer=$(drawn_fraction "$work/officer.png")
echo "drawn: $officer of the view"
at_least "$officer" 0.03 || fail "the officer is not drawn ($officer of the view)"
grep -q "load_textures() returned" "$work/out.log" && fail "the sample textures did not all load"

step "open the animation window, load the walk and play it"
click "$menu" 164 54
animation_window=$(find_window '^TarvikAnimation$') || fail "the animation window did not open"
xdotool windowmove "$animation_window" 700 450
sleep 0.3
click "$animation_window" 50 82
answer_chooser "Load TarvikAnimation" "$samples/SWT_Walk.tka"
wait_output "Loading mesh: $samples/SWT_Walk.tka" || fail "the walk was not loaded"
grep -q "Error loading TarvikAnimation" "$work/err.log" && fail "the walk was refused"
click "$animation_window" 202 82
capture_view "$work/walk1.png"
sleep 0.7
capture_view "$work/walk2.png"
moved=$(compare -metric AE "$work/walk1.png" "$work/walk2.png" null: 2>&1)
echo "pixels changed while playing: $moved"
at_least "${moved%% *}" 200 || fail "the walk does not move the officer ($moved pixels changed)"
click "$animation_window" 202 82 # pause again

step "take a screenshot from the menu window"
click "$menu" 291 114
answer_chooser "Choose filename to take screenshot" "$work/shot"
wait_output "Saved screenshot at $work/shot.bmp" || fail "no screenshot was saved"
shot=$(drawn_fraction "$work/shot.bmp")
at_least "$shot" 0.03 || fail "the screenshot does not show the officer ($shot drawn)"

step "save the mesh under a new name and read it back"
click "$mesh_window" 159 82
answer_chooser "Save TarvikMesh" "$work/saved/Officer Copy"
wait_output "Wrote TKM $work/saved/Officer Copy.tkm" || fail "the mesh was not saved"
saved=$("$read_back" "$work/saved/Officer Copy.tkm")
original=$("$read_back" "$samples/SWT_Officer.tkm")
echo "saved: $saved"
[ "$saved" = "bones=52 triangles=216 class=officer" ] || fail "the saved mesh reads back as $saved"
[ "$saved" = "$original" ] || fail "the saved mesh ($saved) differs from the sample ($original)"
[ "$(ls "$work/saved")" = "Officer Copy.tkm" ] || fail "stray files beside the saved mesh"

step "leave through the exit picture"
click "$menu" 264 54
deadline=$((SECONDS + 15))
while kill -0 "$viewer_pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.1; done
kill -0 "$viewer_pid" 2>/dev/null && fail "the viewer did not end"
wait "$viewer_pid"
status=$?
viewer_pid=
[ "$status" -eq 0 ] || fail "the viewer ended with status $status"
grep -q "SDL shutdown: OK!" "$work/out.log" || fail "the viewer did not shut down in order"
echo "PASS"
