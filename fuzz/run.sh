#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the libFuzzer targets of an instrumented build tree, or merges what they found into the
# checked-in corpus.
#
#   fuzz/run.sh run BUILD SECONDS [NAME...]   fuzz every target (or the NAMEs) for SECONDS each
#   fuzz/run.sh merge BUILD [NAME...]         minimize seeds + found inputs into fuzz/corpus/NAME
#
# The targets and their input limits come from BUILD/fuzz/targets.txt (one "NAME MAX_LEN" line per
# tarvik_fuzz() call), so a new target needs nothing here; fuzz/NAME.dict is used when present.
# Each run starts from the generated seeds, the checked-in corpus and what earlier runs found
# (BUILD/fuzz-work/NAME/corpus, where new inputs go, minimized before each run), with leak checks
# and a per-input timeout.
# Findings land in BUILD/fuzz-work/NAME/findings, the log in BUILD/fuzz-work/NAME/last.log, and
# each run appends "seconds cpu_seconds runs edges" to BUILD/fuzz-work/NAME/history. The last
# lines give per target: runs, edges, corpus size and findings. Exit status 1 when anything was
# found.
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
build=${2:-}
if [[ -z $mode || -z $build || ! -f $build/fuzz/targets.txt ]]; then
    sed -n '2,8p' "$0" >&2
    exit 2
fi
build=$(cd "$build" && pwd)
shift 2
if [[ $mode == run ]]; then
    seconds=${1:?seconds per target}
    shift
fi

# The corpus that is checked in stays small: inputs are kept only up to this total per target.
corpus_cap=$((1024 * 1024))
per_input_timeout=10

declare -A max_len
targets=()
while read -r name limit; do
    [[ -n $name ]] || continue
    max_len[$name]=$limit
    targets+=("$name")
done <"$build/fuzz/targets.txt"
if [[ $# -gt 0 ]]; then
    for name in "$@"; do
        [[ -n ${max_len[$name]:-} ]] || { echo "no fuzz target named $name" >&2; exit 2; }
    done
    targets=("$@")
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$source_dir/tests/lsan.supp:print_suppressions=0}
export LC_ALL=C
# The targets rewrite a scratch file per input: keep them in memory where there is room.
if [[ -z ${TMPDIR:-} && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi

# Common libFuzzer options of target $1. The readers explain every refusal on standard error;
# the target's own output is closed (libFuzzer and the sanitizers still report): run a finding
# with its fuzz_NAME binary to see what it printed.
options() {
    local dict=$source_dir/fuzz/$1.dict
    echo "-max_len=${max_len[$1]} -timeout=$per_input_timeout -rss_limit_mb=2048 -close_fd_mask=3"
    [[ -f $dict ]] && echo "-dict=$dict"
    return 0
}

# The checked-in corpus of target $1, when it has one.
kept_corpus() {
    [[ -d $source_dir/fuzz/corpus/$1 ]] && echo "$source_dir/fuzz/corpus/$1"
    return 0
}

# The covered edges of the last "cov:" line in log $1; 0 when there is none.
last_edges() {
    local edges
    edges=$(grep -o 'cov: [0-9]*' "$1" | tail -1 | cut -d' ' -f2) || true
    echo "${edges:-0}"
}

# Writes the generated seeds of target $1 into a fresh folder and prints its path.
fresh_seeds() {
    local seeds=$build/fuzz-work/$1/seeds
    rm -rf "$seeds"
    mkdir -p "$seeds"
    "$build/fuzz/fuzz_$1_replay" --write-seeds "$seeds" >/dev/null
    echo "$seeds"
}

# Minimizes what earlier runs of target $1 found, so that each run starts from a lean corpus.
minimize_found() {
    local work=$build/fuzz-work/$1
    [[ -n $(ls -A "$work/corpus") ]] || return 0
    rm -rf "$work/minimized"
    mkdir -p "$work/minimized"
    if "$build/fuzz/fuzz_$1" $(options "$1") -merge=1 "$work/minimized" "$work/corpus" \
        >"$work/minimize.log" 2>&1; then
        rm -rf "$work/corpus"
        mv "$work/minimized" "$work/corpus"
    fi
}

run_one() {
    local name=$1 work=$build/fuzz-work/$1
    mkdir -p "$work/corpus" "$work/findings"
    local seeds before after cpu_file=$work/cpu
    seeds=$(fresh_seeds "$name")
    minimize_found "$name"
    before=$(find "$work/findings" -type f | wc -l)
    # CPU time, not wall time: the machine may be shared.
    local status=0
    /usr/bin/time -f '%U %S' -o "$cpu_file" \
        "$build/fuzz/fuzz_$name" $(options "$name") -max_total_time="$seconds" \
        -print_final_stats=1 -artifact_prefix="$work/findings/" \
        "$work/corpus" "$seeds" $(kept_corpus "$name") >"$work/last.log" 2>&1 || status=$?
    after=$(find "$work/findings" -type f | wc -l)
    local runs edges cpu
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/last.log" | tail -1)
    edges=$(last_edges "$work/last.log")
    cpu=$(tail -1 "$cpu_file" | awk '{ printf "%.0f", $1 + $2 }')
    echo "$seconds $cpu ${runs:-0} ${edges:-0}" >>"$work/history"
    local inputs size
    inputs=$(find "$work/corpus" -type f | wc -l)
    size=$(du -sk --apparent-size "$work/corpus" | cut -f1)
    local found=$((after - before))
    if [[ $status -ne 0 && $found -eq 0 ]]; then found=1; fi # a crash before any artifact
    summary+=("fuzz_$name: ${runs:-0} runs, ${edges:-0} edges, corpus $inputs inputs (${size} KiB), $found findings, ${cpu}s CPU")
    [[ $found -eq 0 ]] || findings=1
}

# Minimizes seeds, found inputs and the checked-in corpus of target $1 into fuzz/corpus/$1, then
# drops the largest inputs until the folder is within the cap.
merge_one() {
    local name=$1 work=$build/fuzz-work/$1
    mkdir -p "$work/corpus"
    local seeds merged=$work/merged kept=$source_dir/fuzz/corpus/$name
    seeds=$(fresh_seeds "$name")
    rm -rf "$merged"
    mkdir -p "$merged" "$kept"
    "$build/fuzz/fuzz_$name" $(options "$name") -merge=1 "$merged" "$kept" "$seeds" \
        "$work/corpus" >"$work/merge.log" 2>&1
    # Generated seeds are replayed anyway: keep only what they do not already reach.
    for seed in "$seeds"/*; do
        for file in "$merged"/*; do
            cmp -s "$seed" "$file" && rm -f "$file"
        done
    done
    while [[ $(du -cb "$merged"/* 2>/dev/null | tail -1 | cut -f1) -gt $corpus_cap ]]; do
        rm -f "$(ls -S "$merged"/* | head -1)"
    done
    rm -rf "$kept"
    mv "$merged" "$kept"
    # libFuzzer's merge reports coverage in its own words, not as "cov:" lines.
    local edges
    edges=$(grep -o '[0-9]* new coverage edges' "$work/merge.log" | tail -1 | cut -d' ' -f1) || true
    summary+=("fuzz/corpus/$name: $(find "$kept" -type f | wc -l) inputs, $(du -cb "$kept"/* 2>/dev/null | tail -1 | cut -f1) octets, ${edges:-0} edges")
}

summary=()
findings=0
for name in "${targets[@]}"; do
    if [[ $mode == run ]]; then
        echo "fuzzing $name for ${seconds}s" >&2
        run_one "$name"
    else
        merge_one "$name"
    fi
done
printf '%s\n' "${summary[@]}"
exit "$findings"
