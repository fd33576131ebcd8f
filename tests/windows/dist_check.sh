#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: dist_check.sh ZIP EXTENSION_ZIP WINE ICON_PICTURE
# The Windows zip and the Blender extension for Windows: the files each must hold, the page for
# Windows users as its README, the program's icon made from ICON_PICTURE (the XPM), larkspur.pc
# finding its prefix from its own place, the extension's manifest limited to Windows, and one
# and the same tkmtool.exe in both, which runs from either.
set -euo pipefail
zip=$1 extension=$2 wine=$3 icon_picture=$4
fail() { echo "FAILED: $*"; exit 1; }
[ -f "$zip" ] || fail "no zip at $zip (make windows-dist makes it)"
[ -f "$extension" ] || fail "no extension at $extension (make windows-dist makes it)"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/zip" "$work/extension"
(cd "$work/zip" && unzip -q "$zip")
(cd "$work/extension" && unzip -q "$extension")
top=$(basename "$zip" .zip)
[ "$(ls "$work/zip")" = "$top" ] || fail "the zip holds more than the folder $top: $(ls "$work/zip")"
root=$work/zip/$top

for file in bin/tarvik.exe bin/tkmtool.exe bin/tarvik_drawing.dll bin/larkspur.dll lib/liblarkspur.dll.a lib/pkgconfig/larkspur.pc \
            README.html doc/tkmtool.html LICENSE.txt licenses/tinygltf.txt \
            licenses/nlohmann-json.txt licenses/stb.txt licenses/mingw-w64.txt \
            licenses/gcc-runtime.txt tarvik.ico samples/SWT_Officer.tkm samples/SWT_Walk.tka \
            samples/Rifle.tkm samples/swat_uniform.bmp samples/swat_face.tga samples/swat_rifle.tga \
            samples/background.bmp; do
    [ -s "$root/$file" ] || fail "the zip has no $file"
done
for header in api.h messages.h file.h memory.h paths.h scratch.h library.h; do
    [ -s "$root/include/larkspur/$header" ] || fail "the zip has no include/larkspur/$header"
done
grep -q '<table>' "$root/README.html" || fail "README.html has no tables: not rendered as Markdown"
grep -q '<title>tarvik [0-9.]* for Windows</title>' "$root/README.html" ||
    fail "README.html is not the page for Windows users"
grep -q '<h2 id="getting-started">' "$root/README.html" || fail "README.html's headings have no ids"
# An icon file (reserved 0, type 1) of one 32-bit entry, whose pixels are the XPM's: ImageMagick
# reads both, where it is installed.
[ "$(head -c 6 "$root/tarvik.ico" | od -An -tx1 | tr -d ' \n')" = 000001000100 ] ||
    fail "tarvik.ico is no icon of one image"
if command -v convert >/dev/null 2>&1; then
    [ "$(convert "ico:$root/tarvik.ico" -depth 8 rgba:- | od -An -tx1)" = \
      "$(convert "$icon_picture" -depth 8 rgba:- | od -An -tx1)" ] ||
        fail "tarvik.ico's pixels are not those of $icon_picture"
fi
grep -q '<title>TKMTOOL(1)</title>' "$root/doc/tkmtool.html" || fail "doc/tkmtool.html is no manual"
# pkg-config's own variable for the folder of the .pc file: the prefix moves with the folder.
grep -q '^prefix=${pcfiledir}/\.\./\.\./\?$' "$root/lib/pkgconfig/larkspur.pc" ||
    fail "larkspur.pc's prefix is not relative: $(grep '^prefix=' "$root/lib/pkgconfig/larkspur.pc")"
if command -v pkg-config >/dev/null 2>&1; then
    # Unpacked anywhere, the flags name that place's headers and import library.
    mkdir "$work/moved"
    mv "$root" "$work/moved/unpacked-elsewhere"
    root="$work/moved/unpacked-elsewhere"
    pc_dir="$root/lib/pkgconfig"
    include=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --variable=includedir larkspur)
    libdir=$(PKG_CONFIG_PATH="$pc_dir" pkg-config --variable=libdir larkspur)
    [ -f "$include/larkspur/file.h" ] || fail "pkg-config's includedir has no larkspur/file.h: $include"
    [ -f "$libdir/liblarkspur.dll.a" ] || fail "pkg-config's libdir has no liblarkspur.dll.a: $libdir"
    [ "$(PKG_CONFIG_PATH="$pc_dir" pkg-config --libs-only-l larkspur | xargs)" = "-llarkspur" ] ||
        fail "pkg-config --libs larkspur does not link -llarkspur"
fi
# MinGW links -llarkspur against the import library of the DLL beside it.
x86_64-w64-mingw32-dlltool -I "$root/lib/liblarkspur.dll.a" 2>/dev/null | grep -qx 'larkspur.dll' ||
    fail "liblarkspur.dll.a is not the import library of larkspur.dll"

for file in blender_manifest.toml __init__.py tool.py LICENSE tkmtool.exe; do
    [ -s "$work/extension/$file" ] || fail "the extension has no $file at its top"
done
grep -qx 'platforms = \["windows-x64"\]' "$work/extension/blender_manifest.toml" ||
    fail "the extension's manifest does not say windows-x64"
cmp "$root/bin/tkmtool.exe" "$work/extension/tkmtool.exe" ||
    fail "the zip's and the extension's tkmtool.exe differ"

version=$(echo "$top" | cut -d- -f2)
for program in "$root/bin/tkmtool.exe" "$work/extension/tkmtool.exe"; do
    said=$("$wine" "$program" --version </dev/null | tr -d '\r') || fail "$program did not run"
    [ "$said" = "tkmtool $version" ] || fail "$program --version said: $said"
done
said=$("$wine" "$root/bin/tarvik.exe" --version </dev/null | tr -d '\r') || fail "tarvik.exe did not run"
[ "$said" = "tarvik $version" ] || fail "tarvik.exe --version said: $said"
# The viewer needs nothing beside it that Windows lacks.
if command -v x86_64-w64-mingw32-objdump >/dev/null 2>&1; then
    imports=$(x86_64-w64-mingw32-objdump -p "$root/bin/tarvik.exe" | sed -n 's/^\s*DLL Name: //p' |
              tr 'a-z' 'A-Z' | LC_ALL=C sort | tr '\n' ' ')
    [ "$imports" = "COMDLG32.DLL GDI32.DLL GLU32.DLL KERNEL32.DLL MSVCRT.DLL OPENGL32.DLL SHELL32.DLL USER32.DLL WINMM.DLL " ] ||
        fail "tarvik.exe imports: $imports"
fi
echo "zip: $(unzip -Z1 "$zip" | grep -vc '/$') files; extension: $(unzip -Z1 "$extension" | wc -l) files;" \
     "one tkmtool.exe, which runs from both"
