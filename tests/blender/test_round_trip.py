# SPDX-License-Identifier: GPL-2.0-or-later
"""The sample officer with his walk through the add-on and back: imported, exported again as TKM
and TKA, and compared with the originals by tkmtool's own reading of both. The TKM goes back onto
the officer's own skeleton, which the import keeps in the armature (and a saved .blend keeps):
bone records byte for byte, grippers on them within 1e-4, texture names, the hit colour of every
triangle corner, and the game's own walk poses it within 1e-3 of the model's size of the officer
in every frame. The other skeleton choices of the export, the skeleton after saving and opening
the .blend, and an edit (vertices moved, the head scaled) that must come out where Blender puts
it, at rest and posed by the walk. Prints the time of the import and of both exports.

Arguments after "--": WORK_DIR ADDON_FOLDER TKMTOOL SAMPLES_DIR"""

import math
import os
import shutil
import subprocess
import sys
import time

import bpy
from mathutils import Vector

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
    """Each triangle's corner positions as tkmtool export-obj poses them, in the order it writes
    the faces (the material runs' order)."""
    path = os.path.join(work, "posed.obj")
    args = [tkmtool, "export-obj"] + (["--anim", animation, "--frame", str(frame)]
                                      if animation else []) + [mesh, path]
    subprocess.run(args, check=True, capture_output=True)
    points, faces = [], []
    with open(path) as obj:
        for line in obj:
            fields = line.split()
            if fields and fields[0] == "v":
                points.append(tuple(float(x) for x in fields[1:4]))
            elif fields and fields[0] == "f":
                faces.append([points[int(corner.split("/")[0]) - 1] for corner in fields[1:4]])
    return faces


def points_of(faces):
    return [p for face in faces for p in face]


def triangle_hits(model):
    """Each triangle's corner hit colours, in the material runs' order."""
    corners, tris = model["corners"], model["triangles"]
    return [[corners[c][3] for c in tris[t]] for _, first, count in model["material_runs"]
            for t in range(first, first + count)]


def bone_bytes(path):
    """The bone records of a TKM file, as they stand in it."""
    with open(path, "rb") as tkm:
        data = tkm.read()
    start = 24 + int.from_bytes(data[22:24], "little")
    at = start + 2
    for _ in range(int.from_bytes(data[start:start + 2], "little")):
        at += 4 + int.from_bytes(data[at + 2:at + 4], "little") + 2 + 12 + 16
    return data[start:at]


rest = posed(officer)
rest_points = points_of(rest)
low = [min(p[i] for p in rest_points) for i in range(3)]
high = [max(p[i] for p in rest_points) for i in range(3)]
size = math.dist(low, high)
tolerance = 1e-3 * size
print("model size %.3f, tolerance %.5f" % (size, tolerance))
officer_bones = bone_bytes(officer)


def match_triangles(exported):
    """Pairs (original triangle, corner) -> (exported triangle, corner) by rest position: the trip
    through Blender may reorder the triangles and start them at another corner. Returns the pairs
    and the number of original triangles with no counterpart."""
    back_rest = posed(exported)
    unused = set(range(len(back_rest)))
    pairs, unmatched = [], 0
    for i, tri in enumerate(rest):
        best, best_error = None, None
        for j in unused:
            error = sum(min(math.dist(p, q) for q in back_rest[j]) for p in tri)
            if best_error is None or error < best_error:
                best, best_error = j, error
        if best is None or best_error > 3 * tolerance:
            unmatched += 1
            continue
        unused.discard(best)
        for k, p in enumerate(tri):
            pairs.append(((i, k), (best, min(range(3),
                                             key=lambda m: math.dist(p, back_rest[best][m])))))
    return pairs, unmatched


def frame_count(info):
    """The number of frames in tkmtool's JSON of an animation (a list of them, or a count)."""
    frames = info["frames"]
    return len(frames) if isinstance(frames, list) else frames


frames = frame_count(support.tkmtool_json(tkmtool, "--mesh", officer, walk))
walk_poses = [posed(officer, walk, frame) for frame in range(frames)]


def expect_on_game_skeleton(exported, what):
    """The exported TKM keeps the officer's bones byte for byte, his grippers on them within 1e-4,
    his texture names and hit colours, and the game's own walk poses it as it poses him."""
    model = support.tkmtool_json(tkmtool, exported)
    checks.equal(model["name"], original["name"], what + ": name")
    checks.equal(model.get("class_name"), original.get("class_name"), what + ": class")
    checks.check(bone_bytes(exported) == officer_bones,
                 what + ": bone records byte for byte the officer's")
    for kind in ("grippers", "grips"):
        want = {a["name"]: a for a in original[kind]}
        got = {a["name"]: a for a in model[kind]}
        checks.equal(sorted((n, a["bone"]) for n, a in got.items()),
                     sorted((n, a["bone"]) for n, a in want.items()), what + ": " + kind)
        for name in sorted(set(want) & set(got)):
            error = max(abs(x - y) for x, y in zip(want[name]["local"], got[name]["local"]))
            checks.check(error <= 1e-4, "%s: %s %s on its bone within 1e-4: %.7f"
                         % (what, kind, name, error))
    checks.equal(sorted(t["base"] for t in model["texture_names"]),
                 sorted(t["base"] for t in original["texture_names"]), what + ": texture names")
    pairs, unmatched = match_triangles(exported)
    checks.equal(unmatched, 0, what + ": triangles with no counterpart at the same rest position")
    want_hits, got_hits = triangle_hits(original), triangle_hits(model)
    checks.equal(sum(want_hits[i][k] != got_hits[j][m] for (i, k), (j, m) in pairs), 0,
                 what + ": triangle corners whose hit colour changed")
    worst = 0.0
    for frame in range(frames):
        got = posed(exported, walk, frame)
        worst = max([worst] + [math.dist(walk_poses[frame][i][k], got[j][m])
                               for (i, k), (j, m) in pairs])
    checks.check(worst <= tolerance, "%s: the game's walk poses it within %.5f of the officer in "
                 "every frame: %.6f" % (what, tolerance, worst))
    return pairs


expect_on_game_skeleton(out_tkm, "the exported officer")
for texture in back["texture_names"]:
    checks.check(os.path.isfile(os.path.join(out, texture["base"])),
                 "texture written beside the TKM: " + texture["base"])

def export_tkm(path, **options):
    for obj in bpy.context.view_layer.objects:
        obj.select_set(obj == armature)
    bpy.context.view_layer.objects.active = armature
    result, _ = timed(lambda: bpy.ops.export_scene.tkm(filepath=path, **options))
    checks.equal(result, {'FINISHED'}, "TKM export to %s with %r" % (os.path.basename(path),
                                                                    options))
    return os.path.exists(path)


# --- the other skeletons ------------------------------------------------------------------------
own_tkm = os.path.join(out, "own.tkm")
if export_tkm(own_tkm, skeleton='OWN'):
    checks.check(bone_bytes(own_tkm) != officer_bones,
                 "with the armature's own axes the bones are Blender's, not the officer's")
file_tkm = os.path.join(out, "file.tkm")
if export_tkm(file_tkm, skeleton='FILE', skeleton_file=officer):
    checks.check(bone_bytes(file_tkm) == officer_bones, "onto another TKM's skeleton: its bones")
support.expect_report(checks, lambda: bpy.ops.export_scene.tkm(
    filepath=os.path.join(out, "none.tkm"), skeleton='FILE'), "Pick the TKM",
    "onto another TKM's skeleton with none picked")

# The TKA exports: onto the officer's skeleton, and onto the armature's own with the mesh exported
# on the armature's own axes too.
for mesh, animation, what in ((officer, out_tka, "the exported walk on the original officer"),
                              (own_tkm, own_tka, "the mesh on Blender's axes with its own walk")):
    if not checks.check(os.path.exists(animation) and os.path.exists(mesh), what + ": written"):
        continue
    count = frame_count(support.tkmtool_json(tkmtool, "--mesh", mesh, animation))
    checks.equal(count, frames, what + ": frames")
    corners = match_triangles(mesh)[0] if mesh == own_tkm else [
        ((i, k), (i, k)) for i in range(len(rest)) for k in range(3)]
    worst = 0.0
    for frame in range(min(frames, count)):
        got = posed(mesh, animation, frame)
        worst = max([worst] + [math.dist(walk_poses[frame][i][k], got[j][m])
                               for (i, k), (j, m) in corners])
    checks.check(worst <= tolerance, "%s: posed vertices within %.5f in every frame: %.6f"
                 % (what, tolerance, worst))

# --- saved and opened again: the skeleton is kept in the .blend -------------------------------
blend = os.path.join(work, "officer.blend")
bpy.ops.wm.save_as_mainfile(filepath=blend)
bpy.ops.wm.open_mainfile(filepath=blend)
armature = bpy.data.objects.get("SWT_Officer")
mesh_object = bpy.data.objects.get("SWT_Officer_mesh")
checks.check(armature is not None and mesh_object is not None, "the .blend opens with the model")
reopened_tkm = os.path.join(out, "reopened.tkm")
if armature is not None and export_tkm(reopened_tkm):
    checks.check(bone_bytes(reopened_tkm) == officer_bones,
                 "after saving and opening the .blend: the officer's bones byte for byte")

# --- an edit in Blender is kept: some vertices moved, a part scaled ----------------------------
def game_space(p):
    """A point of Blender's scene in the model's axes (y up), as the glTF files carry it."""
    return (p.x, p.z, -p.y)


edited = {}
if mesh_object is not None:
    world = mesh_object.matrix_world
    vertices = mesh_object.data.vertices
    heights = sorted(game_space(world @ v.co)[1] for v in vertices)
    top = heights[int(0.9 * len(heights))]
    head = [v for v in vertices if game_space(world @ v.co)[1] >= top]
    centre = sum((v.co for v in head), Vector()) / len(head)
    for v in head:  # the head a quarter larger about its centre
        v.co = centre + 1.25 * (v.co - centre)
    for v in list(vertices)[::40]:  # a few vertices pushed along the model's x
        v.co = world.inverted() @ (world @ v.co + Vector((0.05 * size, 0, 0)))
    mesh_object.data.update()
    moved_index = sorted({v.index for v in head} | {v.index for v in list(vertices)[::40]})
    edited = {i: game_space(world @ vertices[i].co) for i in moved_index}
edited_tkm = os.path.join(out, "edited.tkm")
if edited and export_tkm(edited_tkm):
    checks.check(bone_bytes(edited_tkm) == officer_bones, "the edited mesh: the officer's bones")

    def nearest(point, candidates):
        return min(math.dist(point, q) for q in candidates)

    points = points_of(posed(edited_tkm))
    moved_far = sum(nearest(p, rest_points) > 10 * tolerance for p in edited.values())
    checks.check(moved_far >= len(edited) // 2,
                 "the edit moved %d of %d vertices away from the original" % (moved_far,
                                                                             len(edited)))
    worst = max(nearest(p, points) for p in edited.values())
    checks.check(worst <= tolerance, "the %d edited vertices in the bind pose where Blender put "
                 "them within %.5f: %.6f" % (len(edited), tolerance, worst))
    scene = bpy.context.scene
    action = armature.animation_data.action
    first = action.frame_range[0]
    fps = scene.render.fps / scene.render.fps_base
    worst = 0.0
    for frame in range(frames):
        at = first + frame * fps / 10
        scene.frame_set(int(math.floor(at)), subframe=at - math.floor(at))
        evaluated = mesh_object.evaluated_get(bpy.context.evaluated_depsgraph_get())
        deformed = evaluated.to_mesh()
        blender_posed = [game_space(evaluated.matrix_world @ deformed.vertices[i].co)
                         for i in edited]
        evaluated.to_mesh_clear()
        points = points_of(posed(edited_tkm, walk, frame))
        worst = max([worst] + [nearest(p, points) for p in blender_posed])
    checks.check(worst <= tolerance, "the edited vertices posed by the game's walk where Blender "
                 "poses them within %.5f in every frame: %.6f" % (tolerance, worst))

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
