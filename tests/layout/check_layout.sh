#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: check_layout.sh SOURCE_DIR
#        check_layout.sh --self-test SCRIPT
# The README's layout table names every folder of the tree: each top-level folder and each folder
# of viewer/ has a row, and each row names a folder that exists. Exit 0 when they match, 1 with
# the differences named.
# --self-test: generated trees with one planted difference each must fail, a matching one pass.
set -eu

# The folders the table must name, one a line: top-level folders (not hidden) and viewer's; in a
# git tree those that hold tracked files, elsewhere those on disk but for build folders.
tree_folders() {
    if git -C "$1" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$1" ls-files | sed -n 's|^\(viewer/[^/]*/\).*|\1|p; s|^\([^./][^/]*/\).*|\1|p'
    else
        (cd "$1" && for d in */ viewer/*/; do [ -d "$d" ] && echo "$d"; done) | grep -v '^build'
    fi | grep -v -x 'viewer/' | sort -u
}

# The folders the table names: the first cell of each row, in backquotes, ending in a slash.
table_folders() {
    sed -n '/^## Layout/,/^## /p' "$1/README.md" |
        sed -n 's/^| `\([^`]*\/\)` |.*/\1/p' | sort
}

check_tree() {
    dir=$1
    [ -f "$dir/README.md" ] || { echo "FAIL: $dir has no README.md"; return 1; }
    rows=$(table_folders "$dir")
    missing=$(tree_folders "$dir" | while read -r f; do
        echo "$rows" | grep -q -x -F "$f" || echo "$f"; done)
    stale=$(table_folders "$dir" | while read -r f; do [ -d "$dir/$f" ] || echo "$f"; done)
    status=0
    if [ -n "$missing" ]; then
        echo "FAIL: folders with no row in the README's layout table:"; echo "$missing" | sed 's/^/  /'
        status=1
    fi
    if [ -n "$stale" ]; then
        echo "FAIL: rows of the README's layout table that name no folder:"; echo "$stale" | sed 's/^/  /'
        status=1
    fi
    [ "$status" -eq 0 ] && echo "$(echo "$rows" | wc -l) folders, each with its row"
    return "$status"
}

if [ "${1:-}" = --self-test ]; then
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # make_tree NAME FOLDERS... ROWS...: a tree with the folders before "--" and rows for the rest.
    make_tree() {
        t="$work/$1"; shift
        mkdir -p "$t"
        while [ "$1" != -- ]; do mkdir -p "$t/$1"; shift; done; shift
        { echo "# x"; echo; echo "## Layout"; echo; echo "| Folder | What it holds |"; echo "|---|---|"
          for r in "$@"; do echo "| \`$r\` | something |"; done; echo; echo "## Licence"; } > "$t/README.md"
        echo "$t"
    }
    # name, expected verdict (0 pass, 1 fail), folders, --, rows
    run() {
        name=$1 expect=$2; shift 2
        t=$(make_tree "$name" "$@")
        if check_tree "$t" > "$work/$name.out"; then got=0; else got=1; fi
        if [ "$got" -ne "$expect" ]; then
            echo "FAIL: case $name gave $got, expected $expect:"; cat "$work/$name.out"; exit 1
        fi
    }
    run matching 0 support viewer/app tests -- support/ viewer/app/ tests/
    run top_folder_missing 1 support tools -- support/
    run viewer_folder_missing 1 support viewer/app viewer/math -- support/ viewer/app/
    run row_without_folder 1 support -- support/ viewer/render/
    run build_folder_ignored 0 support build-windows -- support/
    # In a git tree only folders with tracked files count: an untracked one needs no row, a
    # tracked one does. A system without git (a bare build system) has no such trees.
    if command -v git >/dev/null 2>&1; then
        t=$(make_tree in_git support scratch tools -- support/)
        git -C "$t" init -q && touch "$t/support/a.c" "$t/scratch/b.c" "$t/tools/c.c"
        git -C "$t" add README.md support/a.c
        check_tree "$t" > /dev/null || { echo "FAIL: an untracked folder was asked for"; exit 1; }
        git -C "$t" add tools/c.c
        if check_tree "$t" > /dev/null; then echo "FAIL: a tracked folder without a row passed"; exit 1; fi
    else
        echo "git is not installed: the case of a git tree is not run"
    fi
    echo "every planted difference was found"
    exit 0
fi

check_tree "$1"
