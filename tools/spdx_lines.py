#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The SPDX licence line at the top of every source file: MIT for the project, GPL-2.0-or-later
for what runs inside Blender (the add-on and the scripts that drive Blender).

Usage: spdx_lines.py [--check] [TREE]
Without --check, adds the line to every source file that has none (after a #! line or an XML
declaration, which must stay first). With --check, changes nothing, names every source file
without its line and exits 1 if there is one. The files are git's tracked files when TREE is a
checkout, else every file under TREE outside build folders."""

import os
import re
import subprocess
import sys

MIT = "MIT"
GPL = "GPL-2.0-or-later"

# How a line comment is written, by file name ending (the longest ending that matches wins).
COMMENT = {
    ".c": ("// ", ""), ".h": ("// ", ""), ".cpp": ("// ", ""), ".h.in": ("// ", ""),
    ".map": ("/* ", " */"),
    ".py": ("# ", ""), ".sh": ("# ", ""), ".cmake": ("# ", ""), "CMakeLists.txt": ("# ", ""),
    "Makefile": ("# ", ""), ".ci/run": ("# ", ""), "debian/rules": ("# ", ""),
    ".pc.in": ("# ", ""), ".thumbnailer.in": ("# ", ""), ".desktop": ("# ", ""),
    ".bash-completion": ("# ", ""), ".supp": ("# ", ""), ".toml": ("# ", ""),
    ".js": ("// ", ""), ".nsi": ("; ", ""),
    ".ui": ("<!-- ", " -->"), ".xml": ("<!-- ", " -->"),
    ".1": ('.\\" ', ""),
}
# Files under these folders are not sources (generated fuzz inputs, installed npm modules).
SKIPPED = ("fuzz/corpus/", "tools/gltf-validator/node_modules/")
SPDX = re.compile(r"SPDX-License-Identifier: (\S+)")


def comment_style(path):
    """The (start, end) of a line comment for path, or None when it is not a source file."""
    best = None
    for ending, style in COMMENT.items():
        # ".c" is an ending; "Makefile" and ".ci/run" are whole names.
        matches = (path.endswith(ending) if ending[0] == "." and "/" not in ending
                   else path == ending or path.endswith("/" + ending))
        if matches and (best is None or len(ending) > len(best[0])):
            best = (ending, style)
    return best[1] if best else None


def licence(path, text):
    """The licence a file is under: what runs inside Blender is GPL, the rest MIT."""
    if path.startswith(("blender/", "tests/blender/")):
        return GPL
    if path.endswith(".py") and re.search(r"^import bpy\b", text, re.M):
        return GPL
    return MIT


def source_files(tree):
    """Paths relative to tree of the files to look at."""
    if os.path.isdir(os.path.join(tree, ".git")) or os.path.isfile(os.path.join(tree, ".git")):
        listed = subprocess.run(["git", "-C", tree, "ls-files", "-z"], check=True,
                                capture_output=True).stdout.decode().split("\0")
        paths = [path for path in listed if path and os.path.isfile(os.path.join(tree, path))]
    else:
        paths = []
        for folder, subfolders, files in os.walk(tree):
            relative = os.path.relpath(folder, tree)
            if relative == ".":
                subfolders[:] = [s for s in subfolders if not s.startswith(("build", ".git"))]
            paths += [os.path.normpath(os.path.join(relative, name)) for name in files]
    return sorted(path for path in paths
                  if not path.startswith(SKIPPED) and comment_style(path) is not None)


def with_line(path, text):
    """text with its SPDX line added at the top (after a line that must stay first)."""
    start, end = comment_style(path)
    line = "%sSPDX-License-Identifier: %s%s\n" % (start, licence(path, text), end)
    lines = text.splitlines(keepends=True)
    first = 1 if lines and (lines[0].startswith("#!") or lines[0].startswith("<?xml")) else 0
    return "".join(lines[:first] + [line] + lines[first:])


def head_licence(text):
    """The identifier on one of the first three lines, or None."""
    for line in text.splitlines()[:3]:
        found = SPDX.search(line)
        if found:
            return found.group(1)
    return None


def main(argv):
    check = "--check" in argv
    rest = [arg for arg in argv if arg != "--check"]
    tree = rest[0] if rest else os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
    missing, wrong = [], []
    for path in source_files(tree):
        full = os.path.join(tree, path)
        with open(full, encoding="utf-8", newline="") as source:
            text = source.read()
        found = head_licence(text)
        if found is None:
            if check:
                missing.append(path)
            else:
                with open(full, "w", encoding="utf-8", newline="") as source:
                    source.write(with_line(path, text))
        elif found != licence(path, text):
            wrong.append("%s (%s, expected %s)" % (path, found, licence(path, text)))
    for path in missing:
        print("no SPDX-License-Identifier line at the top: " + path)
    for what in wrong:
        print("wrong licence in the SPDX line: " + what)
    return 1 if missing or wrong else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
