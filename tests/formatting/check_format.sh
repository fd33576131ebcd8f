#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: check_format.sh SOURCE_DIR
#        check_format.sh --self-test CLANG_FORMAT_FILE
# Every C and C++ file git tracks in SOURCE_DIR is as clang-format lays it out with the tree's
# .clang-format; the files that are not are named. Exit 0 formatted, 1 not, 77 when the check
# cannot be made here (no clang-format, another major version, no git tree).
# The tree is formatted with clang-format 14 (Debian 12's): other majors place some constructs
# differently, so their verdict on it would be noise.
# --self-test: a generated, badly formatted file in a scratch git tree must fail the check, and
# the same file once clang-format has laid it out must pass.
set -eu
formatted_with=14

skip() { echo "SKIP: $*"; exit 77; }

# The clang-format of the tree's major version: the versioned name first, then the plain one.
find_clang_format() {
    for candidate in "${CLANG_FORMAT:-}" clang-format-$formatted_with clang-format; do
        [ -n "$candidate" ] && command -v "$candidate" >/dev/null 2>&1 || continue
        echo "$candidate"
        return 0
    done
    skip "clang-format is not installed (Debian: apt install clang-format)"
}

# The major version of clang-format $1 ("Debian clang-format version 14.0.6" gives 14).
major_of() {
    "$1" --version | sed -n 's/.*clang-format version \([0-9][0-9]*\)\..*/\1/p' | head -n 1
}

clang_format=$(find_clang_format)
major=$(major_of "$clang_format")
[ "$major" = "$formatted_with" ] ||
    skip "$clang_format is version ${major:-unknown}; the tree is formatted with clang-format" \
         "$formatted_with, and other versions lay some code out differently"

# check_tree DIR: the verdict on DIR's tracked C and C++ files.
check_tree() {
    dir=$1
    git -C "$dir" rev-parse --is-inside-work-tree >/dev/null 2>&1 ||
        skip "$dir is not a git tree, so its tracked files are unknown"
    [ -f "$dir/.clang-format" ] || { echo "FAIL: $dir has no .clang-format"; return 1; }
    list=$(mktemp)
    git -C "$dir" ls-files -z -- '*.c' '*.h' '*.cpp' '*.cc' '*.hpp' > "$list"
    count=$(tr -cd '\0' < "$list" | wc -c)
    # clang-format names each file it would change in an error; collect the names.
    status=0
    (cd "$dir" && xargs -0 -r "$clang_format" --style=file --dry-run --Werror < "$list" \
        > /dev/null 2> "$list.errors") || status=$?
    unformatted=$(sed -n 's/^\(.*\):[0-9]*:[0-9]*: error: code should be clang-formatted.*/\1/p' \
                      "$list.errors" | sort -u)
    errors=$(cat "$list.errors")
    rm -f "$list" "$list.errors"
    if [ "$status" -ne 0 ] && [ -z "$unformatted" ]; then
        echo "FAIL: $clang_format could not check the files:"
        echo "$errors"
        return 1
    fi
    if [ -n "$unformatted" ]; then
        echo "FAIL: $(echo "$unformatted" | wc -l) of $count files are not as $clang_format" \
             "lays them out (clang-format -i FILE formats one):"
        echo "$unformatted" | sed 's/^/  /'
        return 1
    fi
    echo "$count files as $clang_format lays them out"
}

if [ "${1:-}" = --self-test ]; then
    style=$2
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    git -C "$work" init -q
    cp "$style" "$work/.clang-format"
    # Two statements on one line, a brace on its own, spaces inside the parentheses.
    printf 'int  sum( int a,int b )\n{ int c=a+b; return c; }\n' > "$work/bad.c"
    printf 'static int kept = 1;\n' > "$work/good.c"
    git -C "$work" add .clang-format bad.c good.c
    if output=$(check_tree "$work"); then
        echo "FAIL: a badly formatted file passed the check: $output"
        exit 1
    fi
    echo "$output" | grep -qx '  bad.c' || { echo "FAIL: bad.c not named: $output"; exit 1; }
    if echo "$output" | grep -q 'good.c'; then
        echo "FAIL: a formatted file was named: $output"
        exit 1
    fi
    (cd "$work" && "$clang_format" --style=file -i bad.c)
    output=$(check_tree "$work") || { echo "FAIL: the formatted file failed: $output"; exit 1; }
    echo "a badly formatted file fails the check, and passes once formatted"
    exit 0
fi

check_tree "$1"
