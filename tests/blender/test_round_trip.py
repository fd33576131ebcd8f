# SPDX-License-Identifier: GPL-2.0-or-later
"""The sample officer with his walk through the add-on and back: imported, exported again as TKM
and TKA, and compared with the originals by tkmtool's own reading of both (name, bones and where
they stand, grippers and where they stand, texture names, the hit colour of every triangle corner, and the walk's posed vertices in every
frame within 1e-3 of the model's size). Prints the time of the import and of both exports.

Arguments after "--": WORK_DIR ADDON_FOLDER TKMTOOL SAMPLES_DIR"""

import math
import os
import shutil
import subprocess
import sys
import time

import bpy
from mathutils import Matrix, Quaternion

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blender_support as support  # noqa: E402

support.skip_without_numpy()
work, addon_folder, tkmtool, samples = support.script_args()[:4]
checks = support.Checks()
support.enable_from(addon_folder, tkmtool)

officer = os.path.join(samples, "SWT_Officer.tkm")
walk = os.path.join(samples, "SWT_Walk.tka")
out = os.path.join(work, "out")
os.makedirs(out)
out_tkm = os.path.join(out, "SWT_Officer.tkm")
out_tka = os.path.join(out, "SWT_Walk.tka")
own_tka = os.path.join(out, "SWT_Walk_own.tka")


def timed(call):
    """The operator's result (or its error report) and the seconds it took."""
    start = time.perf_counter()
    try:
        result = call()
    except RuntimeError as error:
        result = str(error).strip()
    return result, time.perf_counter() - start


# --- import -------------------------------------------------------------------------------------
result, import_time = timed(lambda: bpy.ops.import_scene.tkm(filepath=officer, animations=walk))
checks.equal(result, {'FINISHED'}, "import of the officer with the walk")
armature = bpy.data.objects.get("SWT_Officer")
checks.check(armature is not None and armature.type == 'ARMATURE',
             "the armature is named after the TKM")
if armature is None:
    checks.finish()
checks.equal(armature.data.name, "SWT_Officer", "armature data name")
checks.equal(len(armature.data.bones), 52, "bones imported")
checks.equal(bpy.context.view_layer.objects.active, armature, "the armature is the active object")
mesh_object = bpy.data.objects.get("SWT_Officer_mesh")
checks.check(mesh_object is not None and mesh_object.parent == armature,
             "the mesh object is named after the TKM and hangs on the armature")
if mesh_object is not None:
    checks.equal(mesh_object.data.name, "SWT_Officer", "mesh data keeps the model's name")
    colors = mesh_object.data.color_attributes
    checks.equal([a.name for a in colors], ["HitColor"], "colour attributes")
    used = [node for slot in mesh_object.material_slots if slot.material
            for node in slot.material.node_tree.nodes
            if node.bl_idname in ("ShaderNodeVertexColor", "ShaderNodeAttribute")]
    checks.equal(len(used), 0, "material nodes reading a colour attribute")
    checks.equal(len(mesh_object.material_slots), 2, "materials")
grips = sorted((obj.name, obj.parent_bone) for obj in bpy.data.objects
               if obj.type == 'EMPTY' and obj.parent == armature)
checks.equal(grips, [("Grip1", "Bip01 R Hand"), ("Grip2", "Bip01 L Hand"),
                     ("Grip3", "Bip01 Spine")], "grippers as empties on their bones")
action = armature.animation_data.action if armature.animation_data else None
checks.equal(action.name if action else None, "SWT_Walk", "the walk is the active action")
checks.equal(support.scratch_leftovers(), [], "scratch folders left after the import")

# --- export -------------------------------------------------------------------------------------
for obj in bpy.context.view_layer.objects:
    obj.select_set(obj == armature)
result, tkm_time = timed(lambda: bpy.ops.export_scene.tkm(filepath=out_tkm))
checks.equal(result, {'FINISHED'}, "TKM export")
result, tka_time = timed(lambda: bpy.ops.export_scene.tka(filepath=out_tka, mesh=officer))
checks.equal(result, {'FINISHED'}, "TKA export onto the officer's skeleton")
# The mesh selected instead of the armature, and the armature's own skeleton.
for obj in bpy.context.view_layer.objects:
    obj.select_set(obj == mesh_object)
result, _ = timed(lambda: bpy.ops.export_scene.tka(filepath=own_tka))
checks.equal(result, {'FINISHED'}, "TKA export onto the armature's own skeleton")
checks.equal([obj.name for obj in bpy.context.view_layer.objects if obj.select_get()],
             ["SWT_Officer_mesh"], "the selection after the exports")
checks.equal(support.scratch_leftovers(), [], "scratch folders left after the exports")
print("times: import %.2f s, TKM export %.2f s, TKA export %.2f s"
      % (import_time, tkm_time, tka_time), flush=True)
if not os.path.exists(out_tkm):
    checks.finish()

# --- comparison ---------------------------------------------------------------------------------
original = support.tkmtool_json(tkmtool, officer)
back = support.tkmtool_json(tkmtool, out_tkm)


def posed(mesh, animation=None, frame=0):
    """Positions of the stored and blend vertices of mesh, posed by tkmtool export-obj."""
    path = os.path.join(work, "posed.obj")
    args = [tkmtool, "export-obj"] + (["--anim", animation, "--frame", str(frame)]
                                      if animation else []) + [mesh, path]
    subprocess.run(args, check=True, capture_output=True)
    with open(path) as obj:
        return [tuple(float(x) for x in line.split()[1:4]) for line in obj
                if line.startswith("v ")]


def triangles(model):
    """Each triangle's corners as (vertex index, hit colour)."""
    corners = model["corners"]
    return [[(corners[c][1], corners[c][3]) for c in tri] for tri in model["triangles"]]


rest = posed(officer)
low = [min(p[i] for p in rest) for i in range(3)]
high = [max(p[i] for p in rest) for i in range(3)]
size = math.dist(low, high)
tolerance = 1e-3 * size
print("model size %.3f, tolerance %.5f" % (size, tolerance))

checks.equal(back["name"], original["name"], "name")
checks.equal(back.get("class_name"), original.get("class_name"), "class")
checks.equal([(b["name"], b["parent"]) for b in back["bones"]],
             [(b["name"], b["parent"]) for b in original["bones"]], "bones and their parents")
# Blender turns every bone to point along its own y axis, so a bone's bind rotation and its
# position relative to its parent come back in other axes, and so does an attachment's matrix on
# its bone: what must come back is where each bone and attachment stands in the model.
def bone_worlds(model):
    """Each bone's bind matrix in the model (its parents' applied)."""
    worlds = []
    for bone in model["bones"]:
        x, y, z, w = bone["rotation"]
        # The viewer's quat_to_mat4 of a bone rotation is the textbook rotation of its conjugate.
        local = Quaternion((w, -x, -y, -z)).to_matrix().to_4x4()
        local.translation = bone["position"]
        parent = bone["parent"]
        worlds.append(worlds[parent] @ local if 0 <= parent < len(worlds) else local)
    return worlds
def column_major(values):
    return Matrix([values[row::4] for row in range(4)])
want_worlds, got_worlds = bone_worlds(original), bone_worlds(back)
bind = max((math.dist(a.translation, b.translation) for a, b in zip(want_worlds, got_worlds)),
           default=0)
checks.check(bind <= tolerance, "bones in place within %.5f: %.6f" % (tolerance, bind))
def attachments(model, worlds, kind):
    """Each attachment's bone name and its matrix in the model."""
    bones = model["bones"]
    return {a["name"]: (bones[a["bone"]]["name"], worlds[a["bone"]] @ column_major(a["local"]))
            for a in model[kind]}
for kind in ("grippers", "grips"):
    want, got = attachments(original, want_worlds, kind), attachments(back, got_worlds, kind)
    checks.equal(sorted((n, b) for n, (b, _) in got.items()),
                 sorted((n, b) for n, (b, _) in want.items()), kind + " and their bones")
    for name in sorted(set(want) & set(got)):
        a, b = want[name][1], got[name][1]
        moved = math.dist(a.translation, b.translation)
        turned = max(abs(x - y) for r, t in zip(a.to_3x3(), b.to_3x3()) for x, y in zip(r, t))
        checks.check(moved <= tolerance and turned <= 1e-3,
                     "%s %s in place within %.5f: %.6f, turned by %.6f"
                     % (kind, name, tolerance, moved, turned))
checks.equal(sorted(t["base"] for t in back["texture_names"]),
             sorted(t["base"] for t in original["texture_names"]), "texture names")
for texture in back["texture_names"]:
    checks.check(os.path.isfile(os.path.join(out, texture["base"])),
                 "texture written beside the TKM: " + texture["base"])

# Triangles and their corners matched by rest position: the trip through Blender may reorder
# and re-index them.
want_tris, got_tris = triangles(original), triangles(back)
checks.equal(len(got_tris), len(want_tris), "triangles")
back_rest = posed(out_tkm)
unused = set(range(len(got_tris)))
corner_map = []  # (original vertex, round-trip vertex) per matched corner
hit_wrong = unmatched = 0
for tri in want_tris:
    best, best_error = None, None
    for index in unused:
        error = sum(min(math.dist(rest[v], back_rest[w]) for w, _ in got_tris[index])
                    for v, _ in tri)
        if best_error is None or error < best_error:
            best, best_error = index, error
    if best is None or best_error > 3 * tolerance:
        unmatched += 1
        continue
    unused.discard(best)
    for v, hit in tri:
        w, back_hit = min(got_tris[best], key=lambda corner: math.dist(rest[v],
                                                                       back_rest[corner[0]]))
        corner_map.append((v, w))
        hit_wrong += hit != back_hit
checks.equal(unmatched, 0, "triangles with no counterpart at the same rest position")
checks.equal(hit_wrong, 0, "triangle corners whose hit colour changed")

def frame_count(info):
    """The number of frames in tkmtool's JSON of an animation (a list of them, or a count)."""
    frames = info["frames"]
    return len(frames) if isinstance(frames, list) else frames


frames = frame_count(support.tkmtool_json(tkmtool, "--mesh", officer, walk))
for mesh, animation, what in ((officer, out_tka, "the exported walk on the original officer"),
                              (out_tkm, own_tka, "the exported officer with his own walk")):
    if not checks.check(os.path.exists(animation), what + ": written"):
        continue
    count = frame_count(support.tkmtool_json(tkmtool, "--mesh", mesh, animation))
    checks.equal(count, frames, what + ": frames")
    worst = 0.0
    for frame in range(min(frames, count)):
        want = posed(officer, walk, frame)
        got = posed(mesh, animation, frame)
        pairs = corner_map if mesh == out_tkm else [(v, v) for v in range(len(want))]
        worst = max([worst] + [math.dist(want[v], got[w]) for v, w in pairs])
    checks.check(worst <= tolerance, "%s: posed vertices within %.5f in every frame: %.6f"
                 % (what, tolerance, worst))

# --- several animations, given as one string and picked in the file browser ------------------
# The first import goes, so the names are free again.
bpy.data.batch_remove([obj for obj in bpy.data.objects if obj.name not in ("Cube", "Camera",
                                                                          "Light")]
                      + list(bpy.data.actions) + list(bpy.data.armatures))
copies = []
for name in ("SWT_Stride.tka", "SWT_March.tka"):
    copies.append(os.path.join(work, name))
    shutil.copyfile(walk, copies[-1])
shutil.copyfile(officer, os.path.join(work, "SWT_Officer.tkm"))
result, _ = timed(lambda: bpy.ops.import_scene.tkm(
    filepath=os.path.join(work, "SWT_Officer.tkm"), directory=work,
    files=[{"name": "SWT_Officer.tkm"}, {"name": "SWT_March.tka"}],
    animations=os.pathsep.join([walk, copies[0]])))
checks.equal(result, {'FINISHED'}, "import with animations joined and picked")
armature = bpy.data.objects.get("SWT_Officer")
checks.equal(sorted(action.name for action in bpy.data.actions),
             ["SWT_March", "SWT_Stride", "SWT_Walk"], "an action per animation file")
action = armature.animation_data.action if armature and armature.animation_data else None
checks.equal(action.name if action else None, "SWT_Walk", "the first animation is the action")

shutil.rmtree(out, ignore_errors=True)
checks.finish()
