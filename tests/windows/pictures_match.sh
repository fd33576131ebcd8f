#!/bin/sh
# SPDX-License-Identifier: MIT
# pictures_match.sh PICTURE_DIR XPM_DIR NAME...: each NAME.bmp the Windows build made for the menu
# window is a 24-bit bitmap with the very pixels of NAME.xpm, the artwork the Linux windows show.
# Exits 77 (skipped) without ImageMagick.
set -u
bitmaps=$1 xpms=$2
shift 2
command -v convert >/dev/null 2>&1 || { echo "skipped: ImageMagick is not installed"; exit 77; }
status=0
for name in "$@"; do
    bmp=$bitmaps/$name.bmp xpm=$xpms/$name.xpm
    # "BM", then at octet 28 the bits a pixel (24), little-endian.
    [ "$(head -c 2 "$bmp")" = BM ] && [ "$(od -An -tu2 -j28 -N2 "$bmp" | tr -d ' ')" = 24 ] || {
        echo "FAIL: $bmp is no 24-bit bitmap"; status=1; continue; }
    if [ "$(convert "$bmp" -depth 8 rgb:- | md5sum)" != "$(convert "$xpm" -depth 8 rgb:- | md5sum)" ]
    then
        echo "FAIL: $bmp does not hold the pixels of $xpm"
        status=1
    fi
done
[ $status -eq 0 ] && echo "PASS: $# pictures"
exit $status
