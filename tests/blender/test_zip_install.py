# SPDX-License-Identifier: GPL-2.0-or-later
"""The add-on's zip installed through Blender's own add-on installer (Preferences > Add-ons >
Install), enabled from where the installer put it, and disabled again.

Arguments after "--": WORK_DIR ZIP"""

import os
import sys
import zipfile

import addon_utils
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blender_support as support  # noqa: E402

work, zip_path = support.script_args()[:2]
checks = support.Checks()

with zipfile.ZipFile(zip_path) as archive:
    names = archive.namelist()
checks.check(names and all(name.startswith(support.ADDON + "/") for name in names),
             "the zip holds only the package folder: %s" % names)
checks.check("%s/__init__.py" % support.ADDON in names, "the zip holds the package's __init__.py")
checks.check(not any("__pycache__" in name or name.endswith(".pyc") for name in names),
             "the zip holds no compiled Python")


def operator_exists(group, name):
    try:
        getattr(getattr(bpy.ops, group), name).get_rna_type()
        return True
    except (AttributeError, KeyError):
        return False


checks.check(not operator_exists("import_scene", "tkm"), "no TKM import before the install")
user_addons = bpy.utils.user_resource('SCRIPTS', path="addons")
checks.check(user_addons.startswith(work), "the user add-on folder is the test's own: "
             + user_addons)
result = bpy.ops.preferences.addon_install(filepath=zip_path)
checks.equal(result, {'FINISHED'}, "addon_install")
installed = os.path.join(user_addons, support.ADDON)
for name in names:
    checks.check(os.path.isfile(os.path.join(user_addons, name)), "installed: " + name)

module = addon_utils.enable(support.ADDON, default_set=True, handle_error=None)
checks.check(module is not None and os.path.dirname(module.__file__) == installed,
             "enabled from the installed folder: %s" % (module and module.__file__))
info = addon_utils.module_bl_info(module) if module else {}
checks.equal(info.get("category"), "Import-Export", "category")
checks.check(tuple(info.get("blender", ())) <= (3, 4, 0), "bl_info asks for Blender 3.4 or "
             "older: %s" % (info.get("blender"),))
for group, name in (("import_scene", "tkm"), ("export_scene", "tkm"), ("export_scene", "tka")):
    checks.check(operator_exists(group, name), "bpy.ops.%s.%s registered" % (group, name))
checks.check(support.ADDON in bpy.context.preferences.addons, "listed as enabled")

addon_utils.disable(support.ADDON, default_set=True)
for group, name in (("import_scene", "tkm"), ("export_scene", "tkm"), ("export_scene", "tka")):
    checks.check(not operator_exists(group, name),
                 "bpy.ops.%s.%s gone after disabling" % (group, name))
checks.finish()
