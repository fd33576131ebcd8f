# SPDX-License-Identifier: GPL-2.0-or-later
"""The add-on's operators, menus and preferences in headless Blender, and how each failure is
reported: a missing tkmtool, a failing tkmtool, a failing glTF step, no armature selected, no
action. Every failure must leave the scene as it was, write nothing and leave no scratch folder.

Arguments after "--": WORK_DIR ADDON_FOLDER TKMTOOL"""

import os
import stat
import subprocess
import sys

import addon_utils
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blender_support as support  # noqa: E402

work, addon_folder, tkmtool = support.script_args()[:3]
checks = support.Checks()

# The default path of tkmtool is the one on PATH when the add-on loads.
os.environ["PATH"] = os.path.dirname(tkmtool) + os.pathsep + os.environ.get("PATH", "")
support.enable_from(addon_folder)
prefs = bpy.context.preferences.addons[support.ADDON].preferences
checks.equal(prefs.tkmtool_path, tkmtool, "tkmtool's default path, found on PATH")


class Layout:
    """Stands in for a menu's layout and records the entries drawn into it."""

    def __init__(self):
        self.entries = []

    def operator(self, idname, text=""):
        self.entries.append((text, idname))


def menu_entries(menu):
    layout = Layout()
    holder = type("Menu", (), {"layout": layout})()
    for draw in menu._dyn_ui_initialize():
        if getattr(draw, "__module__", "").startswith(support.ADDON):
            draw(holder, bpy.context)
    return layout.entries


checks.equal(menu_entries(bpy.types.TOPBAR_MT_file_import),
             [("SWAT mesh (.tkm)", "import_scene.tkm")], "File > Import entries")
checks.equal(menu_entries(bpy.types.TOPBAR_MT_file_export),
             [("SWAT mesh (.tkm)", "export_scene.tkm"),
              ("SWAT animation (.tka)", "export_scene.tka")], "File > Export entries")
for idname, props in (("import_scene.tkm", {"filepath", "animations", "files", "directory"}),
                      ("export_scene.tkm", {"filepath", "skeleton", "skeleton_file"}),
                      ("export_scene.tka", {"filepath", "mesh", "bake"})):
    group, name = idname.split(".")
    rna = getattr(getattr(bpy.ops, group), name).get_rna_type()
    missing = props - set(rna.properties.keys())
    checks.check(not missing, "%s has the properties %s" % (idname, sorted(props)))


def make_rig():
    """A one-bone armature with a skinned triangle and a grip empty on the bone, made in code."""
    armature = bpy.data.armatures.new("Rig")
    rig = bpy.data.objects.new("Rig", armature)
    bpy.context.scene.collection.objects.link(rig)
    bpy.context.view_layer.objects.active = rig
    bpy.ops.object.mode_set(mode='EDIT')
    bone = armature.edit_bones.new("Bone")
    bone.head, bone.tail = (0, 0, 0), (0, 0, 1)
    bpy.ops.object.mode_set(mode='OBJECT')
    mesh = bpy.data.meshes.new("Tri")
    mesh.from_pydata([(0, 0, 0), (1, 0, 0), (0, 0, 1)], [], [(0, 1, 2)])
    tri = bpy.data.objects.new("Tri", mesh)
    bpy.context.scene.collection.objects.link(tri)
    tri.parent = rig
    group = tri.vertex_groups.new(name="Bone")
    group.add([0, 1, 2], 1.0, 'REPLACE')
    tri.modifiers.new("Armature", 'ARMATURE').object = rig
    grip = bpy.data.objects.new("Grip1", None)
    bpy.context.scene.collection.objects.link(grip)
    grip.parent, grip.parent_type, grip.parent_bone = rig, 'BONE', "Bone"
    return rig


def select_only(*objects):
    for obj in bpy.context.view_layer.objects:
        obj.select_set(obj in objects)
    bpy.context.view_layer.objects.active = objects[0] if objects else None


def write_tool(name, body):
    """A stand-in for tkmtool: a Python script with body, made executable."""
    path = os.path.join(work, name)
    # Blender's sys.executable is the Python it embeds, where it can say so.
    python = sys.executable if os.path.basename(sys.executable).startswith("python") \
        else "/usr/bin/env python3"
    with open(path, "w") as out:
        out.write("#!%s\nimport sys\n%s\n" % (python, body))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


rig = make_rig()
cube = bpy.data.objects.get("Cube")
broken_tkm = os.path.join(work, "model.tkm")
with open(broken_tkm, "wb") as out:
    out.write(b"not a TarvikMesh")
out_tkm = os.path.join(work, "out.tkm")
out_tka = os.path.join(work, "out.tka")

failing_tool = write_tool("failing-tkmtool",
                          'sys.stderr.write("tkmtool: the stand-in refuses %s\\n" % sys.argv[1])\n'
                          "sys.exit(1)")
garbage_tool = write_tool("garbage-tkmtool", 'open(sys.argv[-1], "wb").write(b"glTF garbage")')
missing_tool = os.path.join(work, "no-such-dir", "tkmtool")

# The real tool's message for the broken mesh, which the import must show as it is.
broken = subprocess.run([tkmtool, "export-gltf", "--hit-colors=vertex-colors", broken_tkm,
                         os.path.join(work, "broken.glb")], capture_output=True, text=True)
real_message = broken.stderr.strip()
checks.check(broken.returncode != 0 and real_message, "tkmtool refuses the broken mesh: %r"
             % real_message)

# (what, tkmtool path or "" for the PATH search, selection, operator call, expected report)
cases = [
    ("import with a missing tkmtool", missing_tool, (cube,),
     lambda: bpy.ops.import_scene.tkm(filepath=broken_tkm),
     "tkmtool not found at " + missing_tool),
    ("TKM export with a missing tkmtool", missing_tool, (rig,),
     lambda: bpy.ops.export_scene.tkm(filepath=out_tkm), "tkmtool not found at"),
    ("TKA export with a missing tkmtool", missing_tool, (rig,),
     lambda: bpy.ops.export_scene.tka(filepath=out_tka), "tkmtool not found at"),
    ("import with no tkmtool on PATH", "", (cube,),
     lambda: bpy.ops.import_scene.tkm(filepath=broken_tkm), "tkmtool not found on PATH"),
    ("import of a broken mesh", tkmtool, (cube,),
     lambda: bpy.ops.import_scene.tkm(filepath=broken_tkm), real_message),
    ("import of no mesh", tkmtool, (cube,),
     lambda: bpy.ops.import_scene.tkm(filepath=os.path.join(work, "walk.tka")),
     "Pick a .tkm mesh"),
    ("import whose glTF Blender cannot read", garbage_tool, (cube,),
     lambda: bpy.ops.import_scene.tkm(filepath=broken_tkm), "Blender's glTF import failed"),
    ("TKM export with no armature selected", tkmtool, (cube,),
     lambda: bpy.ops.export_scene.tkm(filepath=out_tkm), "No armature selected"),
    ("TKM export with nothing selected", tkmtool, (),
     lambda: bpy.ops.export_scene.tkm(filepath=out_tkm), "No armature selected"),
    ("TKA export with no armature selected", tkmtool, (cube,),
     lambda: bpy.ops.export_scene.tka(filepath=out_tka), "No armature selected"),
    ("TKA export of an armature with no action", tkmtool, (rig,),
     lambda: bpy.ops.export_scene.tka(filepath=out_tka), "has no active action"),
    ("TKM export that tkmtool refuses", failing_tool, (rig,),
     lambda: bpy.ops.export_scene.tkm(filepath=out_tkm), "tkmtool: the stand-in refuses convert"),
    ("TKM export onto another TKM's skeleton with none picked", tkmtool, (rig,),
     lambda: bpy.ops.export_scene.tkm(filepath=out_tkm, skeleton='FILE'), "Pick the TKM"),
    ("TKM export onto a skeleton that is no TKM", tkmtool, (rig,),
     lambda: bpy.ops.export_scene.tkm(filepath=out_tkm, skeleton='FILE',
                                      skeleton_file=os.path.join(work, "walk.tka")),
     "is not a readable TKM mesh"),
]
for what, tool_path, selection, call, want in cases:
    saved_path = os.environ["PATH"]
    if tool_path == "":
        os.environ["PATH"] = os.path.join(work, "empty-path")
    support.set_tool(tool_path)
    select_only(*selection)
    before = support.scene_fingerprint()
    support.expect_report(checks, call, want, what)
    os.environ["PATH"] = saved_path
    checks.check(support.scene_fingerprint() == before, what + ": the scene is as it was")
    checks.check(not os.path.exists(out_tkm) and not os.path.exists(out_tka),
                 what + ": nothing written")
    checks.equal(support.scratch_leftovers(), [], what + ": scratch folders left")

# The stand-in that refuses only convert lets the glTF export itself run, and the selection
# the export made for itself is put back.
select_only(rig)
support.set_tool(failing_tool)
rig.animation_data_create().action = bpy.data.actions.new("Wave")
select_only(cube, rig)
bpy.context.view_layer.objects.active = cube
before = support.scene_fingerprint()
support.expect_report(checks, lambda: bpy.ops.export_scene.tka(filepath=out_tka, mesh="x.tkm"),
                      "tkmtool: the stand-in refuses convert", "TKA export that tkmtool refuses")
checks.check(support.scene_fingerprint() == before, "refused TKA export: the scene is as it was")
checks.equal(support.scratch_leftovers(), [], "refused TKA export: scratch folders left")

# Blender's glTF add-on switched off: the import says which add-on it needs.
addon_utils.disable("io_scene_gltf2", default_set=True)
support.set_tool(garbage_tool)
select_only(cube)
before = support.scene_fingerprint()
support.expect_report(checks, lambda: bpy.ops.import_scene.tkm(filepath=broken_tkm),
                      "glTF 2.0 format", "import without Blender's glTF add-on")
checks.check(support.scene_fingerprint() == before, "import without the glTF add-on: the scene "
             "is as it was")
checks.equal(support.scratch_leftovers(), [], "import without the glTF add-on: scratch folders")
checks.finish()
