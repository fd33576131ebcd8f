#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: bad_targets.sh WINDOWS_TKMTOOL WINE [LINUX_TKMTOOL]
# tkmtool.exe under Wine converting and exporting into targets Windows cannot take: a directory, a
# read-only file, names with each character Windows forbids. Each must end in exit status 1 with
# its reason on standard error, the target as it was and no other file in its folder. A path
# longer than 260 characters is no bad target there: it is written like a short one. Where a
# Linux tkmtool is given, its message for a directory (the one case Linux shares) is the same.
set -eu
# absolute PATH: PATH from the root, since the tools run inside the work folders.
absolute() { echo "$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"; }
windows=$(absolute "$1") wine=$2 linux=${3:+$(absolute "$3")}
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
failed=0

# A triangle, the smallest model the tool reads; converted once to the TKM every case starts from.
mkdir "$work/model"
cat >"$work/model/triangle.gltf" <<'EOF'
{"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0]}], "nodes": [{"mesh": 0}],
 "meshes": [{"primitives": [{"attributes": {"POSITION": 0}}]}],
 "accessors": [{"bufferView": 0, "componentType": 5126, "count": 3, "type": "VEC3",
                "min": [0, 0, 0], "max": [1, 1, 0]}],
 "bufferViews": [{"buffer": 0, "byteLength": 36}],
 "buffers": [{"byteLength": 36,
              "uri": "data:application/octet-stream;base64,AAAAAAAAAAAAAAAAAACAPwAAAAAAAAAAAAAAAAAAgD8AAAAA"}]}
EOF
(cd "$work/model" && "$wine" "$windows" convert triangle.gltf model.tkm >/dev/null 2>&1) || {
  echo "tkmtool.exe cannot make the model"
  exit 1
}

# The commands, each with the extension of its target and the start of its failure line.
commands='convert|tkm|Error writing TarvikMesh: 1 (
export-gltf|glb|tkmtool: cannot export '

# state PATH: what a target is, for the check that a failed run left it as it was.
state() {
  if [ -d "$1" ]; then
    echo "directory: $(ls -A "$1")"
  elif [ -e "$1" ]; then
    echo "file $(ls -l "$1" | cut -c1-10): $(od -An -c "$1")"
  else
    echo missing
  fi
}

# refused LABEL SIDE NAME REASON: COMMAND into out/NAME, prepared by the caller, fails with REASON;
# the target and the folder stay as they were. SIDE is windows or linux; the message is kept in
# $work/LABEL.SIDE.err.
refused() {
  label=$1 side=$2 name=$3 reason=$4
  before=$(state "$work/out/$name")
  listing=$(ls -A "$work/out")
  status=0
  if [ "$side" = windows ]; then
    (cd "$work/out" && "$wine" "$windows" "$command" ../model/model.tkm "$name" \
      >/dev/null 2>"$work/$label.$side.err") || status=$?
  else
    (cd "$work/out" && "$linux" "$command" ../model/model.tkm "$name" \
      >/dev/null 2>"$work/$label.$side.err") || status=$?
  fi
  [ "$status" = 1 ] || { echo "$label ($side): exit status $status, not 1"; failed=1; }
  grep -qF -- "$start" "$work/$label.$side.err" && grep -qF -- "$reason" "$work/$label.$side.err" ||
    { echo "$label ($side): no \"$start...$reason\" in: $(cat "$work/$label.$side.err")"; failed=1; }
  [ "$(state "$work/out/$name")" = "$before" ] || { echo "$label ($side): the target changed"; failed=1; }
  [ "$(ls -A "$work/out")" = "$listing" ] ||
    { echo "$label ($side): the folder now holds $(ls -A "$work/out")"; failed=1; }
}

fresh() {
  chmod -R u+w "$work/out" 2>/dev/null || true
  rm -rf "$work/out"
  mkdir "$work/out"
}

cases=0
while IFS='|' read -r command extension start; do
  # A directory where the file would go.
  fresh
  mkdir "$work/out/out.$extension"
  refused "$command-directory" windows "out.$extension" "Is a directory"
  if [ -n "$linux" ]; then
    fresh
    mkdir "$work/out/out.$extension"
    refused "$command-directory" linux "out.$extension" "Is a directory"
    cmp -s "$work/$command-directory.windows.err" "$work/$command-directory.linux.err" || {
      echo "$command-directory: Windows says $(cat "$work/$command-directory.windows.err")," \
        "Linux $(cat "$work/$command-directory.linux.err")"
      failed=1
    }
  fi
  # A read-only file: Wine gives a file without write permission the read-only attribute.
  fresh
  echo old >"$work/out/out.$extension"
  chmod a-w "$work/out/out.$extension"
  refused "$command-read-only" windows "out.$extension" "Permission denied"
  # Each character Windows forbids in a name, which Linux takes.
  for character in '<' '>' ':' '"' '|' '?' '*'; do
    fresh
    refused "$command-name-with-$character" windows "out${character}name.$extension" "Invalid argument"
  done
  # A path of more than 260 characters is written, the same octets as under a short name.
  fresh
  long=$(printf '%0200d' 0)/$(printf '%0100d' 0).$extension
  mkdir "$work/out/${long%/*}"
  (cd "$work/out" && "$wine" "$windows" "$command" ../model/model.tkm "$long" >/dev/null 2>&1 &&
    "$wine" "$windows" "$command" ../model/model.tkm "short.$extension" >/dev/null 2>&1) || {
    echo "$command-long-path: tkmtool.exe failed"
    failed=1
  }
  cmp -s "$work/out/$long" "$work/out/short.$extension" ||
    { echo "$command-long-path: not the octets of a short name"; failed=1; }
  [ "$(ls -A "$work/out/${long%/*}" | wc -l)" = 1 ] ||
    { echo "$command-long-path: more than the target in its folder"; failed=1; }
  cases=$((cases + 10))
done <<EOF
$commands
EOF
echo "$cases bad targets tried"
exit $failed
