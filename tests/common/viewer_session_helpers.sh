# SPDX-License-Identifier: MIT
# Sourced by the scripts that drive a real viewer on an X display (the Linux one, and the
# Windows one under Wine): the viewer's console text is in $work/out.log and $work/err.log, and
# FIND_WINDOW_SECONDS (20 unless set) bounds the wait for a window.

step() { echo "== $*"; }

fail() {
    echo "FAIL: $*"
    echo "--- viewer standard output"
    cat "$work/out.log" 2>/dev/null
    echo "--- viewer standard error"
    cat "$work/err.log" 2>/dev/null
    exit 1
}

# The id of the visible window whose title matches the regular expression, once it shows.
find_window() {
    local deadline=$((SECONDS + ${FIND_WINDOW_SECONDS:-20})) id
    while ((SECONDS < deadline)); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

wait_window_gone() {
    local deadline=$((SECONDS + 20))
    while ((SECONDS < deadline)); do
        xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
        sleep 0.1
    done
    return 1
}

# Fraction (0 to 1) of the picture's pixels that are not the viewer's clear colour.
drawn_fraction() {
    convert "$1" -alpha off -fuzz 4% -fill black -opaque "rgb(51,0,0)" -fill white +opaque black \
        -colorspace gray -format '%[fx:mean]' info:
}

at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }
