# SPDX-License-Identifier: GPL-2.0-or-later
# Blender's side of the glTF round-trip tests, run headless:
#   blender -b --factory-startup --python blender_gltf.py -- COMMAND ARGS...
# Commands:
#   round-trip IN OUT      import IN and export it to OUT (GLB) with Blender's default settings
#   rig OUT                build a tube bent by two bones with smoothly painted weights, a grip
#                          empty on the second bone and an action, and export it to OUT (GLB)
#   pose IN OUT COUNT      import IN and write the skinned mesh's vertices to OUT, one line
#                          "t x y z" each in glTF's axes (y up): at rest with t = -1, then posed
#                          by its first animation at COUNT times 1/10 s apart from its first key
import math
import sys

import numpy

numpy.bool = bool  # Blender 3.4's glTF importer still uses numpy.bool, gone from numpy 1.24

import bpy  # noqa: E402
from mathutils import Euler, Matrix, Quaternion  # noqa: E402


def reset():
    bpy.ops.wm.read_factory_settings(use_empty=True)


def round_trip(source, target):
    reset()
    bpy.ops.import_scene.gltf(filepath=source)
    bpy.ops.export_scene.gltf(filepath=target, export_format='GLB')


def rig(target):
    reset()
    scene = bpy.context.scene
    armature = bpy.data.armatures.new('Rig')
    rig_object = bpy.data.objects.new('Rig', armature)
    scene.collection.objects.link(rig_object)
    bpy.context.view_layer.objects.active = rig_object
    bpy.ops.object.mode_set(mode='EDIT')
    lower = armature.edit_bones.new('Lower')
    lower.head, lower.tail = (0, 0, 0), (0, 0, 1)
    upper = armature.edit_bones.new('Upper')
    upper.head, upper.tail = (0, 0, 1), (0, 0, 2)
    upper.parent = lower
    upper.use_connect = True
    bpy.ops.object.mode_set(mode='OBJECT')

    # A tube of 9 rings along z, 8 corners each.
    rings, sides = 9, 8
    vertices = [(0.2 * math.cos(2 * math.pi * s / sides), 0.2 * math.sin(2 * math.pi * s / sides),
                 2.0 * r / (rings - 1)) for r in range(rings) for s in range(sides)]
    faces = [(r * sides + s, r * sides + (s + 1) % sides, (r + 1) * sides + (s + 1) % sides,
              (r + 1) * sides + s) for r in range(rings - 1) for s in range(sides)]
    mesh = bpy.data.meshes.new('Tube')
    mesh.from_pydata(vertices, [], faces)
    tube = bpy.data.objects.new('Tube', mesh)
    scene.collection.objects.link(tube)
    tube.parent = rig_object
    tube.modifiers.new('Armature', 'ARMATURE').object = rig_object
    groups = {name: tube.vertex_groups.new(name=name) for name in ('Lower', 'Upper')}
    for index, (_, _, z) in enumerate(vertices):
        share = min(max((z - 0.5) / 1.0, 0.0), 1.0)
        share = share * share * (3 - 2 * share)  # smooth from z = 0.5 to z = 1.5
        if share < 1:
            groups['Lower'].add([index], 1 - share, 'REPLACE')
        if share > 0:
            groups['Upper'].add([index], share, 'REPLACE')

    grip = bpy.data.objects.new('Grip1', None)
    scene.collection.objects.link(grip)
    grip.parent = rig_object
    grip.parent_type = 'BONE'
    grip.parent_bone = 'Upper'
    grip.matrix_world = Matrix.Translation((0.3, 0.1, 1.8)) @ Euler((0.3, 0.2, 0.1)).to_matrix().to_4x4()

    rig_object.animation_data_create()
    rig_object.animation_data.action = bpy.data.actions.new('Bend')
    keys = {'Lower': [(1, Euler((0, 0, 0))), (13, Euler((0.2, 0, 0.3))), (25, Euler((0, 0.1, 0)))],
            'Upper': [(1, Euler((0, 0, 0))), (13, Euler((0.9, 0.2, 0))), (25, Euler((0.4, -0.5, 0.2)))]}
    for name, frames in keys.items():
        bone = rig_object.pose.bones[name]
        bone.rotation_mode = 'QUATERNION'
        for frame, angles in frames:
            bone.rotation_quaternion = angles.to_quaternion()
            bone.keyframe_insert('rotation_quaternion', frame=frame)
    bpy.ops.export_scene.gltf(filepath=target, export_format='GLB')


def pose(source, target, count):
    reset()
    bpy.ops.import_scene.gltf(filepath=source)
    scene = bpy.context.scene
    fps = scene.render.fps / scene.render.fps_base
    skinned = [o for o in scene.objects if o.type == 'MESH' and
               any(m.type == 'ARMATURE' for m in o.modifiers)]
    body = skinned[0]
    armature = next(m.object for m in body.modifiers if m.type == 'ARMATURE')
    first = armature.animation_data.action.frame_range[0]
    with open(target, 'w') as out:
        for vertex in body.data.vertices:
            p = body.matrix_world @ vertex.co
            out.write('-1 %r %r %r\n' % (p.x, p.z, -p.y))
        for index in range(count):
            frame = first + index * fps / 10
            scene.frame_set(int(math.floor(frame)), subframe=frame - math.floor(frame))
            evaluated = body.evaluated_get(bpy.context.evaluated_depsgraph_get())
            posed = evaluated.to_mesh()
            for vertex in posed.vertices:
                p = evaluated.matrix_world @ vertex.co
                out.write('%r %r %r %r\n' % (index / 10, p.x, p.z, -p.y))
            evaluated.to_mesh_clear()


command, arguments = sys.argv[sys.argv.index('--') + 1], sys.argv[sys.argv.index('--') + 2:]
if command == 'round-trip':
    round_trip(*arguments)
elif command == 'rig':
    rig(*arguments)
elif command == 'pose':
    pose(arguments[0], arguments[1], int(arguments[2]))
else:
    sys.exit('unknown command ' + command)
