#!/bin/sh
# SPDX-License-Identifier: MIT
# Usage: extension_validate.sh EXTENSION_ZIP [BLENDER]
# Blender's own check of the Windows extension zip, as a maintainer runs it before publishing;
# skipped (77) where there is no Blender 4.2 or later, which brought extensions.
set -eu
extension=$1 blender=${2:-blender}
[ -f "$extension" ] || { echo "FAILED: no extension at $extension (make windows-dist)"; exit 1; }
if ! command -v "$blender" >/dev/null 2>&1; then
    echo "skipped: no Blender here"
    exit 77
fi
version=$("$blender" --factory-startup --version 2>/dev/null </dev/null | sed -n 's/^Blender \([0-9][0-9.]*\).*/\1/p' | head -n 1)
major=${version%%.*} rest=${version#*.}
minor=${rest%%.*}
if [ -z "$version" ] || [ "$major" -lt 4 ] || { [ "$major" -eq 4 ] && [ "$minor" -lt 2 ]; }; then
    echo "skipped: Blender ${version:-of unknown version} has no extensions (4.2 and later)"
    exit 77
fi
"$blender" --factory-startup --command extension validate "$extension" </dev/null
