#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: run_program.sh WINE PREFIX DIR PROGRAM ARGS...
# A Windows program of the build run under Wine in DIR, with the build's own Wine prefix. Its
# output goes through a file, shown when it fails: the Wine server it starts outlives it and would
# hold the build's pipes open, and a new prefix's notes are no news.
set -eu
wine=$1 prefix=$2 dir=$3 program=$4
shift 4
mkdir -p "$prefix"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
(cd "$dir" && WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    "$wine" "$program" "$@" </dev/null >"$log" 2>&1) || status=$?
[ $status -eq 0 ] || tr -d '\r' <"$log" >&2
exit $status
