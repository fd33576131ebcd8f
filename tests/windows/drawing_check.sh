#!/bin/bash
# SPDX-License-Identifier: MIT
# drawing_check.sh TKMTOOL_EXE WINE WINESERVER PREFIX SAMPLES LINUX_TKMTOOL
#
# tkmtool.exe's render and thumbnail under Wine, drawing with WGL through its drawing part, against
# the Linux tkmtool's pictures of the same models (OSMesa): the same size and, pixel for pixel, the
# same picture within the few pixels two rasterisers' depth buffers may settle otherwise. Runs on
# a fresh Xvfb display (Wine's WGL needs one) and a Wine prefix of its own; exits 77 (skipped)
# without xvfb-run or ImageMagick.
set -u
tkmtool=$(readlink -f "$1")
wine=$2
wineserver=$3
prefix=$4
samples=$(readlink -f "$5")
linux_tkmtool=$(readlink -f "$6")

skip() {
    echo "skipped: $*"
    exit 77
}
for tool in xvfb-run compare identify; do
    command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done
[ -x "$linux_tkmtool" ] || skip "no Linux tkmtool at $linux_tkmtool (make build)"
if [ -z "${TARVIK_WINE_OWN_DISPLAY:-}" ]; then
    TARVIK_WINE_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

work=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap '"$wineserver" -k 2>/dev/null; rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*"
    cat "$work/out.log" 2>/dev/null
    exit 1
}
mkdir -p "$work/samples" "$prefix"
cp "$samples"/* "$work/samples/"
cd "$work/samples" || exit 1
"$wineserver" -k 2>/dev/null
"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w

# NAME ARGUMENTS...: the picture NAME.png of both programs, whose last argument is the picture.
pictures=(
    "thumbnail|thumbnail -s 256 SWT_Officer.tkm"
    "walk|render --anim SWT_Walk.tka --frame 3 SWT_Officer.tkm"
    "rifle|render --size 320x240 --bones --wire Rifle.tkm"
)
for row in "${pictures[@]}"; do
    name=${row%%|*}
    read -r -a arguments <<<"${row#*|}"
    "$wine" "$tkmtool" "${arguments[@]}" "windows-$name.png" </dev/null >"$work/out.log" 2>&1 ||
        fail "tkmtool.exe ${arguments[*]} failed"
    "$linux_tkmtool" "${arguments[@]}" "linux-$name.png" >/dev/null 2>&1 ||
        fail "the Linux tkmtool ${arguments[*]} failed"
    size=$(identify -format '%wx%h' "windows-$name.png") || fail "tkmtool.exe wrote no picture"
    [ "$size" = "$(identify -format '%wx%h' "linux-$name.png")" ] ||
        fail "$name: tkmtool.exe's picture is $size"
    # Pixels that differ by more than 4% in a channel, of all of them; the rasterisers are the
    # same (llvmpipe), the depth buffers' precision may not be, and a real difference (a missing
    # texture, another frame, a turned camera) changes thousands.
    differ=$(compare -metric AE -fuzz 4% "windows-$name.png" "linux-$name.png" null: 2>&1 | cut -d' ' -f1)
    total=$(( ${size%x*} * ${size#*x} ))
    echo "$name: $differ of $total pixels differ from the Linux picture"
    [ "$((differ * 200))" -le "$total" ] || fail "$name differs from the Linux picture in $differ pixels"
done

# A model that is not there: the reason, and no picture.
if "$wine" "$tkmtool" thumbnail Missing.tkm missing.png </dev/null >"$work/out.log" 2>&1; then
    fail "a thumbnail of a missing model succeeded"
fi
[ ! -e missing.png ] || fail "a thumbnail of a missing model wrote a picture"
echo "PASS"
