#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Usage: page_links.sh ZIP
#        page_links.sh --self-test SCRIPT
# Every link of every HTML page in the zip leads somewhere: an href="#x" to an id="x" of the same
# page, an href="FILE" or "FILE#x" to a file of the zip (and that id in it, when FILE is a page
# of the zip). Links to other sites are left alone. Exit 0 with the count, 1 with each dead link.
# --self-test: zips with one planted dead link each must fail, a sound one pass.
set -euo pipefail

# check_folder DIR: the pages under DIR, each link checked; prints the dead ones.
check_folder() {
    local dir=$1 page target file fragment dead=0 links=0 pages=0
    while IFS= read -r page; do
        pages=$((pages + 1))
        while IFS= read -r target; do
            links=$((links + 1))
            case $target in
            *://* | mailto:*) continue ;;
            esac
            file=${target%%#*}
            fragment=
            [ "$file" = "$target" ] || fragment=${target#*#}
            if [ -n "$file" ]; then
                file=$(dirname "$page")/$file
                if [ ! -e "$file" ]; then
                    echo "${page#"$dir"/}: href=\"$target\" names no file of the zip"
                    dead=$((dead + 1))
                    continue
                fi
            else
                file=$page
            fi
            if [ -n "$fragment" ] && [[ $file == *.html ]] &&
                ! grep -qF "id=\"$fragment\"" "$file"; then
                echo "${page#"$dir"/}: href=\"$target\" leads to no id=\"$fragment\""
                dead=$((dead + 1))
            fi
        done < <(grep -o 'href="[^"]*"' "$page" | sed 's/^href="//; s/"$//')
    done < <(find "$dir" -name '*.html' | LC_ALL=C sort)
    [ "$pages" -gt 0 ] || { echo "no HTML page in the zip"; return 1; }
    [ "$dead" -eq 0 ] || return 1
    echo "$pages pages, $links links, every one leading somewhere"
}

if [ "${1:-}" = --self-test ]; then
    script=$2
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    # make_zip NAME README_BODY: a zip of README.html with that body beside doc/manual.html.
    make_zip() {
        mkdir -p "$work/$1/top/doc"
        printf '<h1 id="top">t</h1>\n%s\n' "$2" >"$work/$1/top/README.html"
        printf '<h2 id="name">NAME</h2><a href="#name">x</a>\n' >"$work/$1/top/doc/manual.html"
        (cd "$work/$1" && zip -q -r "$work/$1.zip" top)
        echo "$work/$1.zip"
    }
    # case NAME EXPECTED BODY
    case_() {
        local got=0
        bash "$script" "$(make_zip "$1" "$3")" >"$work/$1.out" || got=$?
        [ "$got" -eq "$2" ] || { echo "FAILED: case $1 gave $got, expected $2:"; cat "$work/$1.out"; exit 1; }
    }
    case_ sound 0 '<a href="#top">a</a> <a href="doc/manual.html">b</a> <a href="doc/manual.html#name">c</a> <a href="https://example.org/#x">d</a>'
    case_ dead_anchor 1 '<a href="#nowhere">a</a>'
    case_ dead_file 1 '<a href="doc/missing.html">a</a>'
    case_ dead_anchor_elsewhere 1 '<a href="doc/manual.html#missing">a</a>'
    echo "a sound zip passes; a dead anchor, file or anchor in another page fails"
    exit 0
fi

zip=$1
[ -f "$zip" ] || { echo "FAILED: no zip at $zip (make windows-dist makes it)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && unzip -q "$zip")
check_folder "$work" || { echo "FAILED: dead links in $(basename "$zip")"; exit 1; }
