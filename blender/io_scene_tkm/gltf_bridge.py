# SPDX-License-Identifier: GPL-2.0-or-later
"""Blender's own glTF importer and exporter, driven for the add-on, with the scene kept as it was
when a step fails."""

import contextlib
import warnings

import bpy

from .tool import ToolError

# The kinds of data a glTF import can add, removed again when the import fails.
IMPORTED_DATA = ("objects", "meshes", "armatures", "materials", "images", "textures", "actions",
                 "node_groups", "cameras", "lights", "collections")


def numpy_compat():
    """Blender 3.4's glTF add-on uses numpy.bool, which numpy 1.24 removed; the alias is what it
    meant."""
    try:
        import numpy
    except ImportError as error:
        raise ToolError("Blender's glTF add-on needs numpy, which this Blender cannot import "
                        "(%s; on Debian: apt-get install python3-numpy)" % error) from None
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        if not hasattr(numpy, "bool"):
            numpy.bool = bool


# Options of later Blenders' glTF importer and exporter that keep them doing what 3.4's did, each
# from the first version that has it: from 4.1 the importer adds an "Icosphere" mesh as the bones'
# display shape unless told not to, and from 4.2 the exporter writes COLOR_0 only where a material
# uses the colour attribute (the add-on's import unwires it from the materials), so the hit
# colours would go out white.
IMPORT_OPTIONS_SINCE = (((4, 1, 0), {"disable_bone_shape": True}),)
EXPORT_OPTIONS_SINCE = (((4, 2, 0), {"export_vertex_color": 'ACTIVE'}),)


def version_options(table, version=None):
    """The options of table (pairs of a first version and its options) that the given Blender
    version (bpy.app.version when None) has."""
    version = tuple(bpy.app.version if version is None else version)
    options = {}
    for since, added in table:
        if version >= since:
            options.update(added)
    return options


def _run_operator(operator, what, **options):
    """Runs a glTF operator; a cancelled or failed run becomes a ToolError."""
    numpy_compat()
    try:
        result = operator(**options)
    except AttributeError:
        # bpy.ops says so when the operator is not registered.
        raise ToolError("Blender's glTF %s is not there: enable the add-on \"Import-Export: "
                        "glTF 2.0 format\" in the preferences" % what) from None
    except RuntimeError as error:
        raise ToolError("Blender's glTF %s failed: %s" % (what, str(error).strip())) from None
    if "FINISHED" not in result:
        raise ToolError("Blender's glTF %s was cancelled" % what)


def import_gltf(path):
    """Imports a glTF file into the current scene with the importer's defaults."""
    _run_operator(bpy.ops.import_scene.gltf, "import", filepath=path,
                  **version_options(IMPORT_OPTIONS_SINCE))


def export_gltf(path, **options):
    """Exports the selected objects as one GLB file; options are the exporter's own."""
    _run_operator(bpy.ops.export_scene.gltf, "export", filepath=path, export_format='GLB',
                  use_selection=True, **{**version_options(EXPORT_OPTIONS_SINCE), **options})


def _data_ids():
    """Every data-block of the kinds an import adds, by kind."""
    return {kind: set(getattr(bpy.data, kind)[:]) for kind in IMPORTED_DATA}


def _selection(context):
    """The selected objects and the active one, to put back later."""
    return ([obj for obj in context.view_layer.objects if obj.select_get()],
            context.view_layer.objects.active)


def _restore_selection(context, saved):
    selected, active = saved
    keep = set(selected)
    for obj in context.view_layer.objects:
        obj.select_set(obj in keep)
    context.view_layer.objects.active = active


def new_data(before):
    """What was added to bpy.data since before (a _data_ids() snapshot), by kind."""
    return {kind: [block for block in getattr(bpy.data, kind) if block not in before[kind]]
            for kind in IMPORTED_DATA}


@contextlib.contextmanager
def rollback_on_failure(context):
    """Yields the snapshot of bpy.data taken on entry; when the block raises, everything added
    since then is removed and the selection put back, so the scene is as it was."""
    before = _data_ids()
    saved = _selection(context)
    try:
        yield before
    except BaseException:
        added = [block for blocks in new_data(before).values() for block in blocks]
        if added:
            bpy.data.batch_remove(added)
        _restore_selection(context, (
            [obj for obj in saved[0] if obj.name in context.view_layer.objects], saved[1]))
        raise


@contextlib.contextmanager
def only_selected(context, objects, active):
    """Selects exactly objects (with active as the active object) for the block, then puts the
    user's selection back."""
    saved = _selection(context)
    keep = set(objects)
    try:
        for obj in context.view_layer.objects:
            obj.select_set(obj in keep)
        context.view_layer.objects.active = active
        yield
    finally:
        _restore_selection(context, saved)


def ensure_object_mode(context):
    """Edits made in edit mode reach the mesh data only when it is left; exporters and importers
    need object mode."""
    if context.mode != 'OBJECT' and bpy.ops.object.mode_set.poll():
        bpy.ops.object.mode_set(mode='OBJECT')
