#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: check_exports.sh BINARY LIST COUNT [OBJDUMP]
# The binary's dynamic exports, less the linker's own symbols, must be exactly the names of LIST.
# With OBJDUMP the binary is a Windows DLL, whose export table that objdump prints.
set -eu
binary=$1 list=$2 count=$3 objdump=${4:-}
if [ -n "$objdump" ]; then
  # The name table's rows: "[   0] +base[   1] 0000 alloc_libraries" or "[   0] alloc_libraries".
  actual=$("$objdump" -p "$binary" |
           sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/s/^.*\] \([A-Za-z_0-9]*\)$/\1/p' | grep -v '^Table$' | sort)
else
  actual=$(nm -D --defined-only "$binary" | awk '{print $3}' |
           grep -v -E '^(_edata|_end|__bss_start|_init|_fini|_IO_stdin_used|__data_start|data_start|_start)$' | sort)
fi
expected=$(sed -e 's|/\*.*\*/||' -e 's/global:\|local: \*;//' "$list" | tr ' ;{}' '\n\n\n\n' |
           grep -E '^[a-z_0-9]+$' | sort)
n=$(printf '%s\n' "$actual" | grep -c .)
if [ "$actual" != "$expected" ] || [ "$n" -ne "$count" ]; then
  echo "exports of $binary ($n) differ from $list (expected $count):"
  printf '%s\n' "$actual" > /tmp/exports.actual.$$; printf '%s\n' "$expected" > /tmp/exports.expected.$$
  diff /tmp/exports.expected.$$ /tmp/exports.actual.$$ || true
  rm -f /tmp/exports.actual.$$ /tmp/exports.expected.$$
  exit 1
fi
echo "$n exports, as listed"
