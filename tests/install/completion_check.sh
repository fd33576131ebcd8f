#!/bin/bash
# SPDX-License-Identifier: MIT
# Usage: completion_check.sh TKMTOOL COMPLETION_FILE
# Loads the completion as bash-completion does and completes tkmtool command lines; the commands
# and each command's options offered must be the ones the program's own usage names.
set -u
tkmtool=$1 completion=$2
loader=/usr/share/bash-completion/bash_completion
[ -r "$loader" ] || { echo "bash-completion is not installed"; exit 1; }
# shellcheck disable=SC1090
. "$loader"
# shellcheck disable=SC1090
. "$completion"
status=0

# complete WORD... : what tab offers after the words, the last one being the one typed.
complete_line() {
    COMP_WORDS=(tkmtool "$@")
    COMP_CWORD=$#
    COMP_LINE="tkmtool $*"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _tkmtool tkmtool "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

expect() {
    local want=$1 got
    shift
    got=$(complete_line "$@")
    if [ "$got" != "$want" ]; then
        echo "FAIL: tkmtool $* offered '$got', expected '$want'"
        status=1
    fi
}

# The commands are those of tkmtool's usage text.
usage_commands=$("$tkmtool" --help | sed -n 's/^  \([a-z][a-z-]*\) .*/\1/p' | sort -u | tr '\n' ' ')
expect "--help --version $usage_commands" ""
expect "export-gltf export-obj " "ex"
expect "fit viewer " render --camera ""
expect "check convert export-gltf export-obj info render thumbnail " help ""
expect "render " help "r"
# Every option a command's usage names is offered after a dash, and nothing else.
for command in $usage_commands; do
    [ "$command" = help ] && continue
    options=$("$tkmtool" help "$command" | tail -n +2 | grep -oE -- '(^| |\[)--?[a-z][-a-z]*' |
        tr -d '[ ' | sort -u)
    want=$(printf '%s\n' $options --help | sort -u | tr '\n' ' ')
    expect "$want" "$command" "-"
done
# Files where a file goes, animations after --anim.
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/a.tkm" "$dir/b.tka"
cd "$dir" || exit 1
expect "a.tkm b.tka " info ""
expect "b.tka " render --anim ""
[ $status -eq 0 ] && echo "completion offers what tkmtool takes"
exit $status
