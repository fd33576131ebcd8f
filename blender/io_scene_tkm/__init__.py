# SPDX-License-Identifier: GPL-2.0-or-later
"""SWAT meshes (TKM) and animations (TKA) in Blender's File menu, converted by tkmtool through
Blender's own glTF importer and exporter."""

bl_info = {
    "name": "SWAT TKM/TKA",
    "author": "tarvik",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > SWAT mesh (.tkm); "
                "File > Export > SWAT mesh (.tkm), SWAT animation (.tka)",
    "description": "Import SWAT meshes with their animations, export meshes and animations "
                   "(needs tkmtool)",
    "category": "Import-Export",
}

import bpy
from bpy.props import StringProperty

from . import tool
from .export_tkm import ExportTKA, ExportTKM
from .import_tkm import ImportTKM


class TKMPreferences(bpy.types.AddonPreferences):
    bl_idname = __package__

    tkmtool_path: StringProperty(
        name="tkmtool", subtype='FILE_PATH', default=tool.default_tool_path(),
        description="The tkmtool program that converts the files; empty: the one the "
                    "add-on carries on Windows, else the one on PATH")

    def draw(self, context):
        self.layout.prop(self, "tkmtool_path")


def preferences(context):
    """The add-on's preferences."""
    return context.preferences.addons[__package__].preferences


def menu_import(self, context):
    self.layout.operator(ImportTKM.bl_idname, text="SWAT mesh (.tkm)")


def menu_export(self, context):
    self.layout.operator(ExportTKM.bl_idname, text="SWAT mesh (.tkm)")
    self.layout.operator(ExportTKA.bl_idname, text="SWAT animation (.tka)")


CLASSES = (TKMPreferences, ImportTKM, ExportTKM, ExportTKA)


def register():
    for cls in CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)
    bpy.types.TOPBAR_MT_file_export.append(menu_export)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(menu_export)
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(CLASSES):
        bpy.utils.unregister_class(cls)
