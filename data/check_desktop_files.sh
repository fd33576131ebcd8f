#!/bin/sh
# SPDX-License-Identifier: MIT
# Validates the launcher, the thumbnailer, the MIME definitions and the icon, and checks that the
# MIME database built from our definitions recognises each format by its leading bytes alone.
# Tools that are not installed are skipped with a note; a present tool that complains fails.
set -u
dir=${1:?usage: check_desktop_files.sh DATA_DIR}
status=0

if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$dir/tarvik.desktop" || status=1
else
    echo "note: desktop-file-validate not installed, launcher not checked"
fi

if command -v xmllint >/dev/null 2>&1; then
    xmllint --noout "$dir/tarvik-mime.xml" "$dir/icons/tarvik.svg" || status=1
else
    echo "note: xmllint not installed, XML not checked"
fi

# Every MIME type that the launcher and the thumbnailer claim is one that our definitions or the
# system's shared MIME database declare (a misspelt type would silently match nothing).
declared=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$dir/tarvik-mime.xml")
for file in tarvik.desktop tarvik.thumbnailer.in; do
    claimed=$(sed -n 's/^MimeType=//p' "$dir/$file" | tr ';' ' ')
    [ -n "$claimed" ] || { echo "FAIL: $file claims no MIME type"; status=1; }
    for type in $claimed; do
        if ! printf '%s\n' "$declared" | grep -qxF "$type" &&
           ! grep -qxF "$type" /usr/share/mime/types 2>/dev/null; then
            echo "FAIL: $file claims $type, which is declared nowhere"
            status=1
        fi
    done
done
# The launcher takes the files it is given, and the thumbnailer gets size, input and output.
grep -q '^Exec=tarvik %F$' "$dir/tarvik.desktop" || { echo "FAIL: launcher Exec lacks %F"; status=1; }
grep -q '^Exec=.* thumbnail -s %s %i %o$' "$dir/tarvik.thumbnailer.in" ||
    { echo "FAIL: thumbnailer Exec is not 'tkmtool thumbnail -s %s %i %o'"; status=1; }

if command -v update-mime-database >/dev/null 2>&1 && command -v gio >/dev/null 2>&1; then
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    mkdir -p "$scratch/mime/packages"
    cp "$dir/tarvik-mime.xml" "$scratch/mime/packages/tarvik.xml"
    update-mime-database "$scratch/mime" 2>/dev/null || status=1
    # Neutral extensions, so only the magic can identify them.
    printf '\162\366\143\036\136\107\322\021\207\231\000\001\002\003\004\005' >"$scratch/mesh.bin"
    printf '\317\320\011\250\052\037\322\021\207\111\000\001\002\003\004\005' >"$scratch/anim.bin"
    printf 'MS3D000000\004\000\000\000' >"$scratch/model.bin"
    printf '\001\002\003\004' >"$scratch/Upper.TKM"
    for pair in mesh.bin:model/x-tarvik-mesh anim.bin:model/x-tarvik-animation \
                model.bin:model/x-milkshape-3d Upper.TKM:model/x-tarvik-mesh; do
        file=${pair%%:*}
        want=${pair#*:}
        got=$(XDG_DATA_DIRS="$scratch:/usr/share" gio info -a standard::content-type \
              "$scratch/$file" 2>/dev/null | sed -n 's/^ *standard::content-type: //p')
        if [ "$got" != "$want" ]; then
            echo "FAIL: $file is '$got', expected '$want'"
            status=1
        fi
    done
else
    echo "note: update-mime-database or gio not installed, magic not checked"
fi

exit $status
