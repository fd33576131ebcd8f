# SPDX-License-Identifier: GPL-2.0-or-later
"""Shared pieces of the add-on's tests that run inside Blender: the add-on enabled from the tree,
tkmtool's JSON, failures counted, and a fingerprint of the scene."""

import json
import os
import subprocess
import sys
import tempfile

import addon_utils
import bpy

# Exit status the runner reports to CTest as a skipped test.
SKIP = 77

ADDON = "io_scene_tkm"


class Checks:
    """Counts failed checks and prints each; finish() ends Blender with the right status."""

    def __init__(self):
        self.failures = 0

    def check(self, ok, what):
        print(("ok      " if ok else "FAILED  ") + what, flush=True)
        if not ok:
            self.failures += 1
        return ok

    def equal(self, got, want, what):
        return self.check(got == want, "%s: %r%s" % (what, got, "" if got == want
                                                       else " (expected %r)" % (want,)))

    def finish(self):
        print("%d check(s) failed" % self.failures if self.failures else "all checks passed")
        sys.exit(1 if self.failures else 0)


def script_args():
    """The arguments after "--": the work folder first."""
    return sys.argv[sys.argv.index("--") + 1:]


def skip_without_numpy():
    """Blender's glTF add-on needs numpy; without it the round trip cannot run here."""
    try:
        import numpy  # noqa: F401  (only whether it imports)
    except ImportError:
        print("Blender's Python has no numpy (apt-get install python3-numpy): skipped")
        sys.exit(SKIP)


def enable_from(folder, tkmtool=None):
    """Enables the add-on found in folder, with tkmtool as its converter (None: the default)."""
    sys.dont_write_bytecode = True  # no __pycache__ in the source tree
    if folder not in sys.path:
        sys.path.insert(0, folder)
    module = addon_utils.enable(ADDON, default_set=True, handle_error=None)
    if module is None:
        raise RuntimeError("the add-on could not be enabled from " + folder)
    if tkmtool is not None:
        set_tool(tkmtool)
    return module


def set_tool(path):
    bpy.context.preferences.addons[ADDON].preferences.tkmtool_path = path


def tkmtool_json(tkmtool, *args):
    """tkmtool info --json of args, parsed."""
    done = subprocess.run([tkmtool, "info", "--json"] + list(args), capture_output=True,
                          text=True, check=True)
    return json.loads(done.stdout)


def scratch_leftovers():
    """The add-on's scratch folders still in the temporary folder."""
    return sorted(name for name in os.listdir(tempfile.gettempdir())
                  if name.startswith("io_scene_tkm-"))


def scene_fingerprint():
    """Everything a failed operator must leave as it was: the data-blocks by kind and name, object
    parents, selection, the active object, actions and the colour attributes of meshes."""
    objects = bpy.context.view_layer.objects
    kinds = ("objects", "meshes", "armatures", "materials", "images", "actions", "collections",
             "node_groups", "textures")
    return {
        "data": {kind: sorted(block.name for block in getattr(bpy.data, kind)) for kind in kinds},
        "parents": sorted((obj.name, obj.parent.name if obj.parent else "", obj.parent_bone)
                          for obj in bpy.data.objects),
        "selected": sorted(obj.name for obj in objects if obj.select_get()),
        "active": objects.active.name if objects.active else "",
        "colors": sorted((mesh.name, tuple(a.name for a in mesh.color_attributes))
                         for mesh in bpy.data.meshes),
        "mode": bpy.context.mode,
        "frame": bpy.context.scene.frame_current,
    }


def expect_report(checks, call, want, what):
    """Runs an operator call that must fail with an error report containing want."""
    try:
        result = call()
    except RuntimeError as error:
        return checks.check(want in str(error), "%s reports %r (%s)" % (what, want,
                                                                        str(error).strip()))
    return checks.check(False, "%s failed with no error report (returned %r)" % (what, result))
