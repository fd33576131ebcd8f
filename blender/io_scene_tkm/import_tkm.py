# SPDX-License-Identifier: GPL-2.0-or-later
"""File > Import > SWAT mesh (.tkm): tkmtool writes the mesh and its animations as glTF, Blender's
importer reads it, and the result is named and set up for editing."""

import os

import bpy
from bpy.props import CollectionProperty, StringProperty
from bpy_extras.io_utils import ImportHelper

from . import gltf_bridge, skeleton, tool

# The colour attribute the hit-region colours are kept in; the TKM export reads it back as the
# glTF's COLOR_0.
HIT_COLOR = "HitColor"

# Shader nodes that mix two colours (Blender 3.4's glTF importer uses the first).
MIX_NODES = ("ShaderNodeMix", "ShaderNodeMixRGB")


def _picked_files(op):
    """The mesh and the animations the operator was given, from its properties and the files
    picked together in the browser."""
    picked = [os.path.join(op.directory, item.name) for item in op.files if item.name]
    candidates = [op.filepath] + picked
    mesh = next((path for path in candidates if path.lower().endswith(".tkm")), "")
    animations = tool.split_paths(op.animations)
    for path in picked:
        if path.lower().endswith(".tka") and path not in animations:
            animations.append(path)
    return mesh, animations


def _unmix_color_attribute(material):
    """The glTF importer multiplies COLOR_0 into the base colour; hit colours are no tint, so the
    colour that was mixed with it goes straight to where the mix went."""
    tree = material.node_tree
    if tree is None:
        return
    for node in [n for n in tree.nodes if n.bl_idname == "ShaderNodeVertexColor"]:
        for link in [link for out in node.outputs for link in out.links]:
            target = link.to_node
            if target.bl_idname in MIX_NODES:
                # The mix's other colour input, linked or a constant.
                other = next((s for s in target.inputs if s.type == 'RGBA'
                              and s != link.to_socket and s.enabled), None)
                source = other.links[0].from_socket if other and other.is_linked else None
                for result in [out for out in target.outputs if out.enabled]:
                    for onward in list(result.links):
                        to_socket = onward.to_socket
                        if source is not None:
                            tree.links.new(source, to_socket)
                        elif other is not None and hasattr(to_socket, "default_value"):
                            to_socket.default_value = other.default_value
                tree.nodes.remove(target)
        tree.nodes.remove(node)


def _set_up(added, stem):
    """Names the imported armature, mesh and actions, and keeps the hit colours apart from the
    materials. Returns the armature (or None)."""
    objects = added["objects"]
    armatures = [obj for obj in objects if obj.type == 'ARMATURE']
    meshes = [obj for obj in objects if obj.type == 'MESH']
    armature = armatures[0] if len(armatures) == 1 else None
    for index, obj in enumerate(meshes):
        # Object names are shared by all kinds of object, so the mesh object cannot be called
        # exactly like the armature; its mesh data keeps the model's own name from the file.
        obj.name = stem + "_mesh" if len(meshes) == 1 else "%s_mesh%d" % (stem, index + 1)
        colors = obj.data.color_attributes
        if len(colors) and HIT_COLOR not in colors:
            colors[0].name = HIT_COLOR
    if armature is not None:
        armature.name = stem
        armature.data.name = stem
    for material in added["materials"]:
        _unmix_color_attribute(material)
    # The importer names an action "<animation>_<object>" and files it in an NLA track called
    # after the animation, which export-gltf names after the TKA file.
    tracks = {}
    for obj in objects:
        if obj.animation_data:
            for track in obj.animation_data.nla_tracks:
                for strip in track.strips:
                    if strip.action is not None:
                        tracks.setdefault(strip.action, track.name)
    for action in added["actions"]:
        if action in tracks:
            action.name = tracks[action]
    return armature


class ImportTKM(bpy.types.Operator, ImportHelper):
    """Import a SWAT mesh (TKM) with its animations (TKA) through tkmtool"""

    bl_idname = "import_scene.tkm"
    bl_label = "Import SWAT mesh"
    bl_options = {'REGISTER', 'UNDO'}

    filename_ext = ".tkm"
    filter_glob: StringProperty(default="*.tkm;*.tka", options={'HIDDEN'})
    animations: StringProperty(
        name="Animations",
        description="TKA animations for the mesh, their paths joined by the system's path "
                    "separator; .tka files picked beside the mesh are added")
    files: CollectionProperty(type=bpy.types.OperatorFileListElement,
                              options={'HIDDEN', 'SKIP_SAVE'})
    directory: StringProperty(subtype='DIR_PATH', options={'HIDDEN', 'SKIP_SAVE'})

    def execute(self, context):
        from . import preferences
        mesh, animations = _picked_files(self)
        notes = []
        try:
            if not mesh:
                raise tool.ToolError("Pick a .tkm mesh to import (.tka files picked with it are "
                                     "its animations)")
            program = tool.find_tool(preferences(context).tkmtool_path)
            stem = tool.file_stem(mesh)
            with tool.scratch_folder() as folder:
                glb = tool.scratch_file(folder, mesh, ".glb")
                args = ["export-gltf", "--hit-colors=vertex-colors"]
                for animation in animations:
                    args += ["--anim", animation]
                notes = tool.run(program, args + [mesh, glb])
                gltf_bridge.ensure_object_mode(context)
                with gltf_bridge.rollback_on_failure(context) as before:
                    gltf_bridge.import_gltf(glb)
                    armature = _set_up(gltf_bridge.new_data(before), stem)
                    if armature is not None:
                        # The TKM export puts the mesh back onto these bones by default.
                        skeleton.remember(armature.data, mesh)
        except tool.ToolError as error:
            self.report({'ERROR'}, str(error))
            return {'CANCELLED'}
        if armature is not None:
            context.view_layer.objects.active = armature
        for note in notes:
            self.report({'WARNING'}, note)
        return {'FINISHED'}
