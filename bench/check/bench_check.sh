#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: bench_check.sh BUILD_DIR [RUNS]
# Whole-process times of tkmtool check, in one run beside its anchor (compare figures within a
# run: the machine's load is printed):
#   tkmtool check of 1,000 small TKM meshes   against  the Khronos glTF Validator over the same
#                                                       meshes as .glb, in one Node process
#                                                       (validate_all.js), in files per second
#   tkmtool check of one mesh at the format's limits (65,535 vertices, corners and triangles)
# The goals: check at least 10 times the validator's files per second, and the limits mesh
# checked in under 100 ms.
# Installs nothing: without hyperfine there are no timings; without node or the validator
# (tools/gltf-validator: make validator) the anchor is skipped, and so is all of check when this
# tkmtool has no check command.
set -eu
build=$(cd "$1" && pwd)
runs=${2:-5}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
tkmtool="$build/tools/tkmtool/tkmtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
have() { command -v "$1" >/dev/null 2>&1; }
have hyperfine || { echo "hyperfine is not installed: no timings"; exit 1; }

# The inputs: the meshes, the limits mesh, and each of them as .glb for the validator.
mkdir "$work/models" "$work/glb"
"$build/bench/check/make_check_models" "$work"
for mesh in "$work"/models/*.tkm "$work/Limits.tkm"; do
    name=$(basename "$mesh" .tkm)
    "$tkmtool" export-gltf "$mesh" "$work/glb/$name.glb" >/dev/null
done
mv "$work/glb/Limits.glb" "$work/Limits.glb"
num_files=$(ls "$work/models" | wc -l)
# The meshes as one argument list, sorted as the validator takes the folder's files.
models=$(ls "$work"/models/*.tkm | sort | tr '\n' ' ')

validator=""
if ! have node; then
    echo "(node is not installed: the glTF Validator skipped)"
elif [ ! -d "$root/tools/gltf-validator/node_modules/gltf-validator" ]; then
    echo "(the glTF Validator is not installed, make validator: it is skipped)"
else
    validator="node $here/validate_all.js $work/glb"
fi
check=""
if "$tkmtool" help check >/dev/null 2>&1; then
    check="$tkmtool check $models"
else
    echo "(tkmtool has no check command: its timings skipped)"
fi
[ -n "$check$validator" ] || exit 0

# A first run of each, showing the end of what it found and its exit status (a model with errors
# is timed all the same).
first_run() {
    status=0
    "$@" >"$work/first.txt" 2>&1 || status=$?
    tail -n 3 "$work/first.txt"
    echo "(exit status $status)"
}
[ -z "$check" ] || first_run $check
[ -z "$validator" ] || first_run $validator

# mean_seconds CSV ROW: the mean of the ROW-th command (from 1) of hyperfine's CSV export (the
# commands' names hold no comma).
mean_seconds() {
    awk -F, -v row="$2" 'NR == row + 1 { print $2 }' "$1"
}
# rate SECONDS: files per second for the folder.
rate() {
    awk -v n="$num_files" -v s="$1" 'BEGIN { printf "%.0f", n / s }'
}

echo "load before: $(uptime)"
set --
[ -z "$check" ] || set -- "$@" -n "tkmtool check $num_files meshes" "$check"
[ -z "$validator" ] || set -- "$@" -n "glTF Validator $num_files .glb" "$validator"
hyperfine -N -i --warmup 1 --runs "$runs" --export-csv "$work/folder.csv" "$@"
row=1
if [ -n "$check" ]; then
    check_rate=$(rate "$(mean_seconds "$work/folder.csv" $row)")
    echo "tkmtool check:  $check_rate files/s"
    row=2
fi
if [ -n "$validator" ]; then
    validator_rate=$(rate "$(mean_seconds "$work/folder.csv" $row)")
    echo "glTF Validator: $validator_rate files/s"
fi
if [ -n "$check" ] && [ -n "$validator" ]; then
    awk -v c="$check_rate" -v v="$validator_rate" \
        'BEGIN { printf "check / validator: %.1f times the files per second (goal: 10)\n", c / v }'
fi

if [ -n "$check" ]; then
    hyperfine -N -i --warmup 3 --runs "$((runs * 4))" --export-csv "$work/limits.csv" \
        -n "tkmtool check Limits.tkm (65535 vertices)" "$tkmtool check $work/Limits.tkm"
    awk -v s="$(mean_seconds "$work/limits.csv" 1)" \
        'BEGIN { printf "limits mesh: %.1f ms (goal: under 100 ms)\n", s * 1000 }'
fi
echo "load after: $(uptime)"
