#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""tools/spdx_lines.py on a made-up tree (not a git checkout): which files it takes for sources,
where the line goes, which licence it names, and that --check names what is missing or wrong.

Usage: test_spdx_lines.py SCRIPT"""

import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = sys.argv.pop(1)

MIT = "SPDX-License-Identifier: MIT"
GPL = "SPDX-License-Identifier: GPL-2.0-or-later"

# path, content before, expected first lines after (None: the file is not a source, untouched)
CASES = [
    ("viewer/a.cpp", "int a;\n", ["// " + MIT, "int a;"]),
    ("support/file.h", "#pragma once\n", ["// " + MIT, "#pragma once"]),
    ("cmake/tarvik_version.h.in", "#define V\n", ["// " + MIT, "#define V"]),
    ("support/larkspur.pc.in", "prefix=@P@\n", ["# " + MIT, "prefix=@P@"]),
    ("support/larkspur.map", "{ local: *; };\n", ["/* " + MIT + " */", "{ local: *; };"]),
    ("tests/run.sh", "#!/bin/sh\necho\n", ["#!/bin/sh", "# " + MIT, "echo"]),
    ("Makefile", "all:\n", ["# " + MIT, "all:"]),
    (".ci/run", "#!/usr/bin/env bash\nmake\n", ["#!/usr/bin/env bash", "# " + MIT, "make"]),
    ("tests/CMakeLists.txt", "add_test()\n", ["# " + MIT, "add_test()"]),
    ("viewer/gui/w.ui", '<?xml version="1.0"?>\n<interface/>\n',
     ['<?xml version="1.0"?>', "<!-- " + MIT + " -->", "<interface/>"]),
    ("doc/tkmtool.1", ".TH X 1\n", ['.\\" ' + MIT, ".TH X 1"]),
    ("blender/io_scene_tkm/tool.py", '"""Doc."""\n', ["# " + GPL, '"""Doc."""']),
    ("blender/io_scene_tkm/blender_manifest.toml", 'id = "x"\n', ["# " + GPL, 'id = "x"']),
    ("tests/tools/tkmtool/drive.py", "import bpy\n", ["# " + GPL, "import bpy"]),
    ("tests/tools/plain.py", "import os\n", ["# " + MIT, "import os"]),
    ("README.md", "# tarvik\n", None),
    ("tools/gltf-validator/package.json", "{}\n", None),
    ("fuzz/corpus/gltf/0a1b.cpp", "x\n", None),
    ("build/generated.cpp", "int b;\n", None),
]


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w", encoding="utf-8") as out:
        out.write(text)


def read(root, path):
    with open(os.path.join(root, path), encoding="utf-8") as source:
        return source.read()


def run(*args):
    return subprocess.run([sys.executable, SCRIPT] + list(args), capture_output=True, text=True,
                          check=False)


class SpdxLines(unittest.TestCase):
    def setUp(self):
        self.scratch = tempfile.TemporaryDirectory()
        self.root = self.scratch.name
        for path, text, _ in CASES:
            write(self.root, path, text)

    def tearDown(self):
        self.scratch.cleanup()

    def test_check_names_every_source_without_a_line_and_changes_nothing(self):
        result = run("--check", self.root)
        self.assertEqual(result.returncode, 1)
        named = {line.rsplit(": ", 1)[1] for line in result.stdout.splitlines()}
        self.assertEqual(named, {path for path, _, want in CASES if want is not None})
        for path, text, _ in CASES:
            self.assertEqual(read(self.root, path), text, path)

    def test_writing_puts_the_line_where_it_belongs(self):
        self.assertEqual(run(self.root).returncode, 0)
        for path, text, want in CASES:
            got = read(self.root, path)
            if want is None:
                self.assertEqual(got, text, path)
            else:
                self.assertEqual(got.splitlines(), want, path)
        self.assertEqual(run("--check", self.root).returncode, 0)

    def test_a_second_run_adds_nothing(self):
        run(self.root)
        first = {path: read(self.root, path) for path, _, _ in CASES}
        run(self.root)
        self.assertEqual({path: read(self.root, path) for path, _, _ in CASES}, first)

    def test_check_names_a_wrong_licence(self):
        write(self.root, "blender/io_scene_tkm/export_tkm.py", "# " + MIT + "\nx = 1\n")
        run(self.root)
        result = run("--check", self.root)
        self.assertEqual(result.returncode, 1)
        self.assertIn("blender/io_scene_tkm/export_tkm.py (MIT, expected GPL-2.0-or-later)",
                      result.stdout)


if __name__ == "__main__":
    unittest.main()
