# SPDX-License-Identifier: GPL-2.0-or-later
"""File > Export > SWAT mesh (.tkm) and SWAT animation (.tka): the selected armature goes out
through Blender's glTF exporter and tkmtool convert."""

import os

import bpy
from bpy.props import BoolProperty, EnumProperty, StringProperty
from bpy_extras.io_utils import ExportHelper

from . import gltf_bridge, skeleton, tool


def chosen_armature(context):
    """The armature to export: the selected one, or the one a selected mesh or empty hangs on.
    Raises ToolError when there is none or more than one."""
    selected = [obj for obj in context.view_layer.objects if obj.select_get()]
    active = context.view_layer.objects.active
    if active is not None and active.type == 'ARMATURE' and active in selected:
        return active
    found = []
    for obj in selected:
        owners = [obj] if obj.type == 'ARMATURE' else [obj.parent] + [
            modifier.object for modifier in getattr(obj, "modifiers", ())
            if modifier.type == 'ARMATURE']
        for owner in owners:
            if owner is not None and owner.type == 'ARMATURE' and owner not in found:
                found.append(owner)
    if not found:
        raise tool.ToolError("No armature selected: select the armature of the model to export")
    if len(found) > 1:
        raise tool.ToolError("%d armatures selected (%s): select the one to export"
                             % (len(found), ", ".join(obj.name for obj in found)))
    return found[0]


def _model_objects(context, armature, kinds):
    """The armature with its skinned meshes and, where kinds holds 'EMPTY', the empties on its
    bones (grips and grippers)."""
    parts = [armature] + [obj for obj in armature.children_recursive if obj.type in kinds]
    for obj in context.view_layer.objects:
        if obj.type == 'MESH' and obj not in parts and any(
                modifier.type == 'ARMATURE' and modifier.object == armature
                for modifier in obj.modifiers):
            parts.append(obj)
    return [obj for obj in parts if obj.name in context.view_layer.objects]


def _export(op, context, make_args, kinds, **gltf_options):
    """Exports the chosen armature with its children of the given kinds as glTF into a scratch
    folder and runs tkmtool with make_args(armature, folder) on it; reports and cancels on any
    failure."""
    from . import preferences
    try:
        armature = chosen_armature(context)
        program = tool.find_tool(preferences(context).tkmtool_path)
        with tool.scratch_folder() as folder:
            args = make_args(armature, folder)
            glb = tool.scratch_file(folder, op.filepath, ".glb")
            gltf_bridge.ensure_object_mode(context)
            with gltf_bridge.only_selected(context, _model_objects(context, armature, kinds),
                                           armature):
                # Custom properties carry the grips' and grippers' kind (tarvik_attachment).
                gltf_bridge.export_gltf(glb, export_extras=True, export_current_frame=False,
                                        **gltf_options)
            notes = tool.run(program, args[:-1] + [glb, args[-1]])
    except tool.ToolError as error:
        op.report({'ERROR'}, str(error))
        return {'CANCELLED'}
    for note in notes:
        op.report({'WARNING'}, note)
    return {'FINISHED'}


class _ArmatureExport(ExportHelper):
    """The file browser starts on the armature's name."""

    def invoke(self, context, event):
        try:
            name = chosen_armature(context).name
        except tool.ToolError:
            name = ""
        if name and not self.filepath:
            folder = os.path.dirname(bpy.data.filepath) if bpy.data.filepath else ""
            self.filepath = os.path.join(folder, bpy.path.clean_name(name) + self.filename_ext)
        return super().invoke(context, event)


class ExportTKM(bpy.types.Operator, _ArmatureExport):
    """Export the selected armature, its skinned meshes and the empties on its bones as a SWAT
    mesh (TKM) through tkmtool"""

    bl_idname = "export_scene.tkm"
    bl_label = "Export SWAT mesh"

    filename_ext = ".tkm"
    filter_glob: StringProperty(default="*.tkm", options={'HIDDEN'})

    skeleton: EnumProperty(
        name="Skeleton", default='IMPORTED', items=(
            ('IMPORTED', "Imported game skeleton",
             "The bones of the TKM the armature was imported from, kept byte for byte, so that "
             "the game's own animations play on the mesh (the armature's own axes when it was "
             "not imported from a TKM)"),
            ('OWN', "Armature's own axes",
             "The armature's bones as Blender holds them, each pointing along its own y axis: "
             "for a new skeleton with animations of its own"),
            ('FILE', "Another TKM's skeleton",
             "The bones of the TKM file below, matched by name: for a new mesh made for a game "
             "skeleton")),
        description="Whose bones the TKM mesh is stored on")
    skeleton_file: StringProperty(
        name="Skeleton TKM", subtype='FILE_PATH',
        description="The TKM mesh whose skeleton the mesh is for, with \"Another TKM's skeleton\"")

    def execute(self, context):
        return _export(self, context, self._args, ('MESH', 'EMPTY'), export_animations=False)

    def _args(self, armature, folder):
        """convert onto the chosen skeleton; the kept one is written into the scratch folder."""
        game = None
        if self.skeleton == 'FILE':
            if not self.skeleton_file:
                raise tool.ToolError("Pick the TKM whose skeleton the mesh is for, or choose "
                                     "another Skeleton")
            game = bpy.path.abspath(self.skeleton_file)
        elif self.skeleton == 'IMPORTED':
            kept = skeleton.remembered(armature.data)
            if kept is not None:
                game = os.path.join(folder, "skeleton.tkm")
                with open(game, "wb") as out:
                    out.write(kept)
        return ["convert"] + (["--skeleton", game] if game else []) + [self.filepath]


class ExportTKA(bpy.types.Operator, _ArmatureExport):
    """Export the selected armature's active action as a SWAT animation (TKA) through tkmtool"""

    bl_idname = "export_scene.tka"
    bl_label = "Export SWAT animation"

    filename_ext = ".tka"
    filter_glob: StringProperty(default="*.tka", options={'HIDDEN'})
    mesh: StringProperty(
        name="Mesh", subtype='FILE_PATH',
        description="TKM mesh whose skeleton the animation is for (bones matched by name); "
                    "empty: the armature's own skeleton")
    bake: BoolProperty(
        name="Sample every frame", default=False,
        description="Sample the pose at every scene frame (for constraints, drivers and IK); "
                    "off, the action's own keys are written")

    def execute(self, context):
        def args(armature, folder):
            action = armature.animation_data.action if armature.animation_data else None
            if action is None:
                raise tool.ToolError("The armature %s has no active action to export"
                                     % armature.name)
            mesh = ["--mesh", bpy.path.abspath(self.mesh)] if self.mesh else []
            return ["convert", "--animation", action.name] + mesh + [self.filepath]

        # The action's own frame range, not the scene's playback range. Empties stay out: a
        # sampled export animates them too, and a TKA moves only bones.
        return _export(self, context, args, ('MESH',), export_animations=True,
                       export_force_sampling=self.bake, export_frame_range=False)
