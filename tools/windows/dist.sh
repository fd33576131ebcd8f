#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: dist.sh BUILD_DIR SOURCE_DIR VERSION OUT_DIR SAMPLES_DIR ICON LINUX_SAMPLES_DIR
# The Windows downloads from a Windows build, written into OUT_DIR (emptied first):
#   tarvik-VERSION-windows-x64.zip        tkmtool, the samples, larkspur for programmers, the
#                                         page for Windows users, the manual, licences
#   tarvik-VERSION-windows-x64-setup.exe  the same installed into Program Files\tarvik
#   io_scene_tkm-ADDON-windows-x64.zip    the Blender extension with tkmtool.exe inside
# Every file is dated SOURCE_DATE_EPOCH (the last commit's time when unset) and the archives list
# their files in one order, so that the same tree gives the same zips.
set -eu
build=$1 src=$2 version=$3 out=$4 samples=$5 icon=$6 linux_samples=$7
name=tarvik-$version-windows-x64
here=$(cd "$(dirname "$0")" && pwd)
work=$build/dist-work
stage=$work/$name

for program in makensis zip mandoc cmark-gfm; do
    command -v $program >/dev/null 2>&1 ||
        { echo "dist.sh: $program is missing (make deps-windows installs it)" >&2; exit 1; }
done
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$src" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

rm -rf "$work" "$out"
mkdir -p "$work" "$out"

# Programs and the library's development files, stripped, in the layout of an install prefix,
# which larkspur.pc finds from its own place.
cmake --install "$build" --prefix "$stage" --strip >/dev/null
for file in bin/tarvik.exe bin/tkmtool.exe bin/tarvik_drawing.dll bin/larkspur.dll lib/liblarkspur.dll.a lib/pkgconfig/larkspur.pc \
            include/larkspur/file.h; do
    [ -f "$stage/$file" ] || { echo "dist.sh: the install has no $file" >&2; exit 1; }
done

# The sample set: the Linux build's samples/ where that build made them, so that the downloads
# hold the very octets Linux users get; else those of the Windows build's samplegen, whose walk
# differs in the last bit of a few rotations (MinGW's sinf and cosf round otherwise than glibc's).
sample_files="SWT_Officer.tkm SWT_Walk.tka Rifle.tkm swat_uniform.bmp swat_face.tga swat_rifle.tga
              background.bmp"
for file in $sample_files; do
    [ -s "$linux_samples/$file" ] || { linux_samples=; break; }
done
[ -z "$linux_samples" ] || samples=$linux_samples
echo "dist.sh: the samples of $samples"
mkdir -p "$stage/samples"
for file in $sample_files; do
    [ -s "$samples/$file" ] || { echo "dist.sh: $samples has no $file" >&2; exit 1; }
    cp "$samples/$file" "$stage/samples/"
done
[ -s "$icon" ] || { echo "dist.sh: no icon at $icon" >&2; exit 1; }
cp "$icon" "$stage/tarvik.ico"

# html_page TITLE: a page around the HTML fragment on standard input.
html_page() {
    printf '<!DOCTYPE html>\n<html>\n<head>\n<meta charset="utf-8"/>\n<title>%s</title>\n' "$1"
    printf '<style>body { max-width: 50em; margin: auto; font-family: sans-serif; }\n'
    printf 'table { border-collapse: collapse; } td, th { border: 1px solid #999; padding: 2px 6px; }\n'
    printf 'pre { background: #eee; padding: 4px; overflow-x: auto; }</style>\n</head>\n<body>\n'
    cat
    printf '</body>\n</html>\n'
}
# add_heading_ids: every heading of cmark-gfm's HTML gets the id GitHub gives it (lower case,
# spaces made hyphens, other signs dropped, a repeat numbered), so that the page's "#" links work
# in the zip as they do on GitHub; cmark-gfm itself gives headings no ids.
add_heading_ids() {
    LC_ALL=C awk '
    /^<h[1-6]>.*<\/h[1-6]>$/ {
        level = substr($0, 3, 1)
        text = $0
        sub(/^<h[1-6]>/, "", text)
        sub(/<\/h[1-6]>$/, "", text)
        id = tolower(text)
        gsub(/<[^>]*>/, "", id)
        gsub(/&[a-z]+;|&#[0-9]+;/, "", id)
        gsub(/[^a-z0-9 _-]/, "", id)
        gsub(/ /, "-", id)
        if (id in seen) id = id "-" ++seen[id]
        else seen[id] = 0
        $0 = "<h" level " id=\"" id "\">" text "</h" level ">"
    }
    { print }'
}
cmark-gfm --to html -e table -e autolink -e strikethrough "$src/doc/windows.md" | add_heading_ids |
    html_page "tarvik $version for Windows" >"$stage/README.html"
mkdir -p "$stage/doc"
mandoc -T html "$src/doc/tkmtool.1" >"$stage/doc/tkmtool.html"

# The licences: tarvik's own, and those of what tkmtool.exe and larkspur.dll have compiled in
# (tinygltf, nlohmann-json and stb; MinGW-w64's runtime and GCC's support libraries), as Debian
# gives them for the headers and libraries the build used.
cp "$src/LICENSE" "$stage/LICENSE.txt"
mkdir -p "$stage/licenses"
for pair in tinygltf:libtinygltf-dev nlohmann-json:nlohmann-json3-dev stb:libstb-dev \
            mingw-w64:mingw-w64-x86-64-dev gcc-runtime:gcc-mingw-w64-x86-64-posix-runtime; do
    copyright=/usr/share/doc/${pair#*:}/copyright
    [ -f "$copyright" ] || { echo "dist.sh: $copyright is missing" >&2; exit 1; }
    cp "$copyright" "$stage/licenses/${pair%%:*}.txt"
done

# The Blender extension for Windows: the add-on, its manifest limited to Windows, and the same
# tkmtool.exe, which the add-on runs from its own folder.
addon=$work/io_scene_tkm
mkdir -p "$addon"
cp "$src"/blender/io_scene_tkm/*.py "$src/blender/io_scene_tkm/LICENSE" "$addon/"
sed '/^blender_version_min *=/a platforms = ["windows-x64"]' \
    "$src/blender/io_scene_tkm/blender_manifest.toml" >"$addon/blender_manifest.toml"
grep -q '^platforms = \["windows-x64"\]$' "$addon/blender_manifest.toml" ||
    { echo "dist.sh: the manifest has no blender_version_min to put platforms after" >&2; exit 1; }
cp "$stage/bin/tkmtool.exe" "$addon/"
addon_version=$(sed -n 's/^version *= *"\(.*\)"$/\1/p' "$addon/blender_manifest.toml")

find "$work" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +

# zip_folder ZIP DIR ENTRIES...: ENTRIES of DIR in sorted order, without extra attributes.
zip_folder() {
    zip_file=$1 dir=$2
    shift 2
    (cd "$dir" && find "$@" | LC_ALL=C sort | zip -q -X -9 -@ "$zip_file")
}
zip_folder "$out/$name.zip" "$work" "$name"
zip_folder "$out/io_scene_tkm-$addon_version-windows-x64.zip" "$addon" .

# The uninstaller's list: every file, then the folders deepest first, so it removes what the
# installer put there and leaves anything else the user added.
remove=$work/remove.nsh
(cd "$stage" && find . -type f | LC_ALL=C sort | sed 's|^\./||; s|/|\\|g; s|.*|Delete "$INSTDIR\\&"|'
 cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort -r | sed 's|^\./||; s|/|\\|g; s|.*|RMDir "$INSTDIR\\&"|') \
    >"$remove"
size_kb=$(du -sk "$stage" | cut -f1)
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DICON="$stage/tarvik.ico" -DREMOVE="$remove" -DSIZE_KB="$size_kb" \
    -DOUTFILE="$out/$name-setup.exe" "$here/installer.nsi"

ls -l "$out"
