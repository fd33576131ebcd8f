# SPDX-License-Identifier: GPL-2.0-or-later
"""The add-on's finding and running of tkmtool, as plain Python without Blender: Windows systems
described with ntpath and made-up environments (drive letters, backslashes, spaces, quoted PATH
entries, a user called Jürgen), and real runs of a stand-in tkmtool on Linux under such names.

Usage: python3 test_tool_paths.py ADDON_PACKAGE_FOLDER"""

import ntpath
import os
import posixpath
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.abspath(sys.argv.pop(1)))
import tool  # noqa: E402

EXTENSION_FOLDER = ("C:\\Users\\Jürgen\\AppData\\Roaming\\Blender Foundation\\Blender\\4.2"
                    "\\extensions\\user_default\\io_scene_tkm")
WINDOWS_TEMP = "C:\\Users\\Jürgen\\AppData\\Local\\Temp"


def windows(programs, environ=None):
    """A Windows system on which exactly the given paths are programs."""
    return tool.System(True, ntpath, environ or {}, lambda path: path in programs)


def linux(programs, environ=None):
    return tool.System(False, posixpath, environ or {}, lambda path: path in programs)


class FindingTool(unittest.TestCase):
    # name, system, configured path, expected tkmtool
    FOUND = [
        ("Windows takes the bundled one before PATH",
         windows({EXTENSION_FOLDER + "\\tkmtool.exe", "C:\\Program Files\\tarvik\\bin\\tkmtool.exe"},
                 {"PATH": "C:\\Program Files\\tarvik\\bin"}),
         "", EXTENSION_FOLDER + "\\tkmtool.exe"),
        ("Windows without a bundled one: a quoted PATH entry with spaces",
         windows({"C:\\Program Files\\tarvik\\bin\\tkmtool.exe"},
                 {"PATH": "C:\\Windows\\system32;;\"C:\\Program Files\\tarvik\\bin\";C:\\Windows"}),
         "", "C:\\Program Files\\tarvik\\bin\\tkmtool.exe"),
        ("Windows PATH entry written with slashes",
         windows({"D:/Tools/tarvik\\tkmtool.exe"}, {"PATH": "D:/Tools/tarvik"}),
         "", "D:/Tools/tarvik\\tkmtool.exe"),
        ("Windows looks for tkmtool.exe, not tkmtool",
         windows({"C:\\a\\tkmtool", "C:\\b\\tkmtool.exe"}, {"PATH": "C:\\a;C:\\b"}),
         "", "C:\\b\\tkmtool.exe"),
        ("Windows: the configured one, pasted with Explorer's quotes, wins over the bundled one",
         windows({EXTENSION_FOLDER + "\\tkmtool.exe", "D:\\SWAT 4\\Tools\\tkmtool.exe"}),
         "\"D:\\SWAT 4\\Tools\\tkmtool.exe\"", "D:\\SWAT 4\\Tools\\tkmtool.exe"),
        ("Windows: ~ is the user's profile folder",
         windows({"C:\\Users\\Jürgen\\tools\\tkmtool.exe"}, {"USERPROFILE": "C:\\Users\\Jürgen"}),
         "~\\tools\\tkmtool.exe", "C:\\Users\\Jürgen\\tools\\tkmtool.exe"),
        ("Windows: a UNC path as configured",
         windows({"\\\\server\\share\\tkmtool.exe"}), "\\\\server\\share\\tkmtool.exe",
         "\\\\server\\share\\tkmtool.exe"),
        ("Linux ignores a tkmtool.exe beside the add-on and finds tkmtool on PATH",
         linux({EXTENSION_FOLDER + "/tkmtool.exe", "/usr/bin/tkmtool"},
               {"PATH": "/usr/local/bin:/usr/bin"}),
         "", "/usr/bin/tkmtool"),
        ("Linux PATH with empty entries",
         linux({"/opt/tarvik ü/bin/tkmtool"}, {"PATH": "::/opt/tarvik ü/bin:"}),
         "", "/opt/tarvik ü/bin/tkmtool"),
        ("Linux: ~ is HOME",
         linux({"/home/jürgen/bin/tkmtool"}, {"HOME": "/home/jürgen"}),
         "~/bin/tkmtool", "/home/jürgen/bin/tkmtool"),
        ("Linux: a backslash is part of a name, not a folder",
         linux({"/home/u/odd\\tkmtool"}), "/home/u/odd\\tkmtool", "/home/u/odd\\tkmtool"),
    ]

    # name, system, configured path, words the message must hold
    NOT_FOUND = [
        ("Windows with none anywhere", windows(set(), {"PATH": "C:\\Windows"}), "",
         ["not found beside the add-on or on PATH"]),
        ("Windows: a configured one that is not there, even with a bundled one",
         windows({EXTENSION_FOLDER + "\\tkmtool.exe"}), "E:\\gone\\tkmtool.exe",
         ["not found at E:\\gone\\tkmtool.exe", "preferences"]),
        ("Linux with none on PATH", linux(set(), {"PATH": "/usr/bin"}), "",
         ["not found on PATH"]),
        ("Linux: no PATH at all", linux(set()), "", ["not found on PATH"]),
        ("Linux: ~ without HOME stays ~", linux({"/root/tkmtool"}), "~/tkmtool",
         ["not found at ~/tkmtool"]),
    ]

    def test_found(self):
        for name, system, configured, expected in self.FOUND:
            with self.subTest(name):
                self.assertEqual(tool.find_tool(configured, system, EXTENSION_FOLDER), expected)

    def test_default_is_what_an_empty_preference_runs(self):
        for name, system, configured, expected in self.FOUND:
            if not configured:
                with self.subTest(name):
                    self.assertEqual(tool.default_tool_path(system, EXTENSION_FOLDER), expected)

    def test_not_found(self):
        for name, system, configured, words in self.NOT_FOUND:
            with self.subTest(name):
                with self.assertRaises(tool.ToolError) as raised:
                    tool.find_tool(configured, system, EXTENSION_FOLDER)
                for word in words:
                    self.assertIn(word, str(raised.exception))


class PathsAndNames(unittest.TestCase):
    def test_split_paths(self):
        # name, system, joined, expected
        cases = [
            ("Windows: drive letters keep their colons",
             windows(set()), "C:\\SWAT 4\\Walk.tka;D:\\Anims\\Run.tka",
             ["C:\\SWAT 4\\Walk.tka", "D:\\Anims\\Run.tka"]),
            ("Windows: empty entries dropped", windows(set()), ";C:\\a.tka;; ;",
             ["C:\\a.tka"]),
            ("Linux", linux(set()), "/a/walk.tka:/b c/run.tka", ["/a/walk.tka", "/b c/run.tka"]),
            ("nothing", linux(set()), "", []),
        ]
        for name, system, joined, expected in cases:
            with self.subTest(name):
                self.assertEqual(tool.split_paths(joined, system), expected)

    def test_scratch_file(self):
        folder = WINDOWS_TEMP + "\\io_scene_tkm-k3j_9q"
        # name, system, scratch folder, source, expected
        cases = [
            ("Windows path with a drive letter and spaces", windows(set()), folder,
             "D:\\SWAT 4\\Content\\SWT_Officer.tkm", folder + "\\SWT_Officer.glb"),
            ("Windows path written with slashes", windows(set()), folder,
             "D:/SWAT 4/Offizier Müller.tkm", folder + "\\Offizier Müller.glb"),
            ("Windows UNC path", windows(set()), folder, "\\\\nas\\mods\\警官.tkm",
             folder + "\\警官.glb"),
            ("Linux: a backslash belongs to the name", linux(set()), "/tmp/io_scene_tkm-x",
             "/home/u/odd\\name.tkm", "/tmp/io_scene_tkm-x/odd\\name.glb"),
        ]
        for name, system, scratch, source, expected in cases:
            with self.subTest(name):
                self.assertEqual(tool.scratch_file(scratch, source, ".glb", system), expected)

    def test_run_options(self):
        # CREATE_NO_WINDOW, from the Win32 process creation flags.
        self.assertEqual(tool.run_options(windows(set())), {"creationflags": 0x08000000})
        self.assertEqual(tool.run_options(linux(set())), {})

    def test_messages(self):
        # name, octets on standard error, expected lines
        cases = [
            ("UTF-8 with Windows line ends",
             "Error loading TarvikMesh: 1\r\nC:\\Users\\Jürgen\\警官.tkm\r\n".encode("utf-8"),
             ["Error loading TarvikMesh: 1", "C:\\Users\\Jürgen\\警官.tkm"]),
            ("Linux line ends, blank lines dropped", "a\n\n b ä\n".encode("utf-8"), ["a", " b ä"]),
            ("octets that are not UTF-8 are replaced, not fatal", b"bad \xff\xfe name\n",
             ["bad \ufffd\ufffd name"]),
            ("nothing", b"", []),
        ]
        for name, octets, expected in cases:
            with self.subTest(name):
                self.assertEqual(tool.messages(octets), expected)


# A stand-in for tkmtool: writes its last argument, prints a note or fails as its first asks.
STAND_IN = """#!%s
import sys
if sys.argv[1] == "fail":
    sys.stderr.buffer.write("Fehler: Datei „Müller.tkm“ ist kaputt\\r\\n".encode("utf-8"))
    sys.exit(1)
if sys.argv[1] == "silent-fail":
    sys.exit(3)
with open(sys.argv[-1], "w", encoding="utf-8") as out:
    out.write(sys.argv[-2])
sys.stderr.buffer.write("Hinweis: 52 Knochen ✓\\n".encode("utf-8"))
"""


class RunningTool(unittest.TestCase):
    """tkmtool run from a folder with spaces and non-ASCII letters, its scratch folder under a
    temporary folder named after a user called Jürgen Müller."""

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="tool-paths-")
        self.bin = os.path.join(self.root, "Program Files", "tarvik ü", "bin")
        os.makedirs(self.bin)
        self.program = os.path.join(self.bin, "tkmtool")
        with open(self.program, "w", encoding="utf-8") as out:
            out.write(STAND_IN % sys.executable)
        os.chmod(self.program, 0o755)
        self.temp = os.path.join(self.root, "Users", "Jürgen Müller", "AppData", "Local", "Temp")
        os.makedirs(self.temp)
        self.saved_tempdir = tempfile.tempdir
        tempfile.tempdir = self.temp
        self.system = tool.this_system()._replace(environ={"PATH": self.bin})

    def tearDown(self):
        tempfile.tempdir = self.saved_tempdir
        for folder, dirs, files in os.walk(self.root, topdown=False):
            for name in files:
                os.remove(os.path.join(folder, name))
            for name in dirs:
                os.rmdir(os.path.join(folder, name))
        os.rmdir(self.root)

    def test_found_on_path_and_run_in_scratch_folder(self):
        program = tool.find_tool("", self.system)
        self.assertEqual(program, self.program)
        mesh = "/models/SWAT 4/Offizier Müller.tkm"
        with tool.scratch_folder() as folder:
            self.assertEqual(os.path.dirname(folder), self.temp)
            self.assertTrue(os.path.basename(folder).startswith(tool.TEMP_PREFIX))
            glb = tool.scratch_file(folder, mesh, ".glb")
            notes = tool.run(program, ["export-gltf", mesh, glb])
            with open(glb, encoding="utf-8") as written:
                self.assertEqual(written.read(), mesh)
        self.assertEqual(notes, ["Hinweis: 52 Knochen ✓"])
        self.assertFalse(os.path.exists(folder), "the scratch folder is removed")
        self.assertEqual(os.listdir(self.temp), [])

    def test_failures_carry_tkmtool_message(self):
        # first argument, expected message
        cases = [
            ("fail", "Fehler: Datei „Müller.tkm“ ist kaputt"),
            ("silent-fail", "tkmtool silent-fail failed with exit status 3"),
        ]
        for first, expected in cases:
            with self.subTest(first):
                with self.assertRaises(tool.ToolError) as raised:
                    tool.run(self.program, [first, "in.tkm", "out.glb"])
                self.assertEqual(str(raised.exception), expected)

    def test_scratch_folder_removed_on_failure(self):
        with self.assertRaises(tool.ToolError):
            with tool.scratch_folder() as folder:
                tool.run(self.program, ["fail", "x"])
        self.assertFalse(os.path.exists(folder))

    def test_program_that_cannot_start(self):
        missing = os.path.join(self.bin, "nicht da", "tkmtool")
        with self.assertRaises(tool.ToolError) as raised:
            tool.run(missing, ["info", "x.tkm"])
        self.assertIn("could not be started (%s)" % missing, str(raised.exception))


if __name__ == "__main__":
    unittest.main(verbosity=2)
