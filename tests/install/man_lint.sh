#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: man_lint.sh PAGE...
# mandoc's lint at its own level must report nothing, apart from what depends on this machine's
# manual database: pages it cross-references that are not installed here (yet).
out=$(mandoc -T lint "$@" 2>&1 | grep -v -e 'STYLE: referenced manual not found' \
                                      -e 'mandoc\.db' -e 'makewhatis')
[ -z "$out" ] && exit 0
echo "$out"
exit 1
