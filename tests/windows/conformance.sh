#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: conformance.sh LINUX_TKMTOOL WINDOWS_TKMTOOL WINE SAMPLES_DIR
# Every sample mesh and animation, under a Latin, a Cyrillic and a Japanese file name, summarised,
# converted and exported by the Linux tkmtool and by tkmtool.exe under Wine: each output file and
# each standard output must be the same octets.
set -eu
linux=$1 windows=$2 wine=$3 samples=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# run SIDE NAME ARGS...: tkmtool of SIDE run in SIDE's folder, its standard output kept as NAME.out.
run() {
  side=$1 name=$2
  shift 2
  if [ "$side" = linux ]; then
    (cd "$work/$side" && "$linux" "$@" >"$name.out" 2>/dev/null) || echo "exit $?" >>"$work/$side/$name.out"
  else
    (cd "$work/$side" && "$wine" "$windows" "$@" >"$name.out" 2>/dev/null) || echo "exit $?" >>"$work/$side/$name.out"
  fi
}

for script in officer офицер 警官; do
  for side in linux windows; do
    rm -rf "$work/$side"
    mkdir -p "$work/$side"
    cp "$samples"/*.tga "$samples"/*.bmp "$work/$side/"
    cp "$samples/SWT_Officer.tkm" "$work/$side/$script.tkm"
    cp "$samples/SWT_Walk.tka" "$work/$side/$script-walk.tka"
    cp "$samples/Rifle.tkm" "$work/$side/${script}-rifle.tkm"
    run $side info info "$script.tkm"
    run $side info-json info --json "$script.tkm"
    run $side info-anim info --mesh "$script.tkm" "$script-walk.tka"
    run $side info-rifle info --json "${script}-rifle.tkm"
    run $side convert convert "$script.tkm" "$script-copy.tkm"
    run $side obj export-obj --anim "$script-walk.tka" --frame 3 "$script.tkm" "$script.obj"
    run $side glb export-gltf --anim "$script-walk.tka" "$script.tkm" "$script.glb"
    run $side gltf export-gltf "${script}-rifle.tkm" "${script}-rifle.gltf"
    run $side back convert "$script.glb" "$script-back.tkm"
    run $side back-anim convert --mesh "$script.tkm" "$script.glb" "$script-back.tka"
  done
  for file in "$work/linux"/*; do
    name=$(basename "$file")
    if ! cmp -s "$file" "$work/windows/$name"; then
      echo "differs: $name"
      # What differs, so that a one-off (Wine failing to start a program) tells itself apart.
      cmp "$file" "$work/windows/$name" 2>&1 | head -n 1 || true
      echo "  sizes: linux $(wc -c <"$file"), windows $(wc -c <"$work/windows/$name" 2>/dev/null || echo none); windows ends:"
      tail -c 160 "$work/windows/$name" 2>/dev/null | sed 's/^/    /' || true
      failed=1
    fi
  done
  for file in "$work/windows"/*; do
    [ -e "$work/linux/$(basename "$file")" ] || { echo "only on Windows: $(basename "$file")"; failed=1; }
  done
  echo "$script: $(ls "$work/linux" | wc -l) files compared"
done
exit $failed
