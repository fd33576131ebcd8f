#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: samples_match.sh ZIP WINDOWS_SAMPLES_DIR LINUX_SAMPLES_DIR
# The zip's samples/ holds the sample set (the files samples/README.md lists), each the same
# octets as the Linux build's samples; without them (make build) the Windows build's samplegen's,
# and the test is skipped.
set -eu
zip=$1 windows=$2 linux=$3
fail() { echo "FAILED: $*"; exit 1; }
[ -f "$zip" ] || fail "no zip at $zip (make windows-dist makes it)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && unzip -q "$zip")
root=$(ls -d "$work"/tarvik-*-windows-x64)
files="SWT_Officer.tkm SWT_Walk.tka Rifle.tkm swat_uniform.bmp swat_face.tga swat_rifle.tga
       background.bmp"
[ "$(ls "$root/samples" | LC_ALL=C sort | xargs)" = "$(echo $files | tr ' ' '\n' | LC_ALL=C sort | xargs)" ] ||
    fail "the zip's samples are not the sample set: $(ls "$root/samples" | xargs)"
if [ ! -f "$linux/SWT_Officer.tkm" ]; then
    for file in $files; do
        cmp "$root/samples/$file" "$windows/$file" || fail "the zip's $file is not the build's"
    done
    echo "skipped: no Linux samples in $linux to compare with (make build makes them)"
    exit 77
fi
for file in $files; do
    cmp "$root/samples/$file" "$linux/$file" || fail "the zip's $file differs from the Linux one"
done
echo "the zip's $(echo $files | wc -w) samples are the Linux build's, octet for octet"
