#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: thumbnailer_check.sh BUILD_DIR SAMPLEGEN
#        thumbnailer_check.sh --system SAMPLEGEN
# Installs into a scratch prefix (or, with --system, takes the entry installed on this system by
# its package) and runs the installed thumbnailer entry as a file manager does:
# TryExec must be there, Exec is split into words and %s, %i and %o each become one argument
# (paths with spaces included), with no display and no standard input. Each thumbnail must be a
# SIZE x SIZE PNG with alpha, transparent in its corners and showing the model in between.
set -eu
build=$1 samplegen=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
if [ "$build" = --system ]; then
    entry=/usr/share/thumbnailers/tarvik.thumbnailer
else
    cmake --install "$build" --prefix "$prefix" > "$prefix/install.log"
    entry="$prefix/share/thumbnailers/tarvik.thumbnailer"
fi
[ -f "$entry" ] || { echo "missing after install: $entry"; exit 1; }
grep -qx '\[Thumbnailer Entry\]' "$entry" || { echo "no [Thumbnailer Entry] group"; exit 1; }
tryexec=$(sed -n 's/^TryExec=//p' "$entry")
[ -x "$tryexec" ] || { echo "TryExec '$tryexec' is not an installed program"; exit 1; }
exec_line=$(sed -n 's/^Exec=//p' "$entry")
types=$(sed -n 's/^MimeType=//p' "$entry")
for type in model/x-tarvik-mesh model/x-milkshape-3d; do
    case ";$types" in *";$type;"*) ;; *) echo "MimeType lacks $type"; exit 1 ;; esac
done

models="$prefix/my models"
mkdir -p "$models"
"$samplegen" "$models"
status=0
for pair in SWT_Officer.tkm:128 Rifle.tkm:256; do
    model=${pair%%:*} size=${pair#*:}
    out="$prefix/thumbnail of $model.png"
    set --
    for word in $exec_line; do
        case $word in
            %s) set -- "$@" "$size" ;;
            %i) set -- "$@" "$models/$model" ;;
            %o) set -- "$@" "$out" ;;
            *) set -- "$@" "$word" ;;
        esac
    done
    if ! (cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u XAUTHORITY "$@" </dev/null >"$prefix/log" 2>&1)
    then
        echo "FAIL: the thumbnailer failed for $model:"; cat "$prefix/log"; status=1; continue
    fi
    got=$(identify -format '%m %w %h %A' "$out")
    # Corner alpha, and the share of the picture the model covers (mean alpha).
    corner=$(convert "$out" -alpha extract -format '%[fx:p{0,0}]' info:)
    cover=$(convert "$out" -alpha extract -format '%[fx:mean>0.05 && mean<0.9]' info:)
    # ImageMagick 6 names an alpha channel "True", ImageMagick 7 "Blend".
    case "$got" in "PNG $size $size True" | "PNG $size $size Blend") has_alpha=1 ;; *) has_alpha=0 ;; esac
    if [ $has_alpha -ne 1 ]; then
        echo "FAIL: $model gave '$got', expected a ${size}x$size PNG with alpha"; status=1
    elif [ "$corner" != 0 ] || [ "$cover" != 1 ]; then
        echo "FAIL: $model: corner alpha $corner, model cover check $cover"; status=1
    fi
done
[ $status -eq 0 ] && echo "thumbnails made as a file manager makes them"
exit $status
