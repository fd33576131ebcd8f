# SPDX-License-Identifier: GPL-2.0-or-later
"""The add-on as an extension of Blender 4.2 and later: the folder with its manifest passes
Blender's own validation, and the extension zip installs through Blender's extension installer,
enables and brings the operators; skipped in an older Blender, which has no extensions (it takes
the legacy zip, see test_zip_install.py).

Arguments after "--": WORK_DIR ADDON_PACKAGE_FOLDER EXTENSION_ZIP"""

import os
import subprocess
import sys
import zipfile

import addon_utils
import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import blender_support as support  # noqa: E402

work, package_folder, zip_path = support.script_args()[:3]
if bpy.app.version < (4, 2, 0):
    print("Blender %s has no extensions (4.2 and later): skipped" % bpy.app.version_string)
    sys.exit(support.SKIP)
checks = support.Checks()

# Blender's validator, as a maintainer runs it before publishing.
validate = subprocess.run([bpy.app.binary_path, "--factory-startup", "--command", "extension",
                           "validate", package_folder], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=300, check=False)
print(validate.stdout + validate.stderr)
checks.equal(validate.returncode, 0, "blender --command extension validate")

with zipfile.ZipFile(zip_path) as archive:
    names = archive.namelist()
checks.check("blender_manifest.toml" in names and "__init__.py" in names,
             "the manifest and the package at the top of the zip: %s" % names)
checks.check("LICENSE" in names, "the zip carries the licence")
checks.check(not any("__pycache__" in name or name.endswith(".pyc") for name in names),
             "the zip holds no compiled Python")

# The zip the extension installer is given installs into the user's own repository and enables.
result = bpy.ops.extensions.package_install_files(filepath=zip_path, repo="user_default",
                                                  enable_on_install=True)
checks.equal(result, {'FINISHED'}, "package_install_files")
module_name = "bl_ext.user_default." + support.ADDON
enabled = {addon.module for addon in bpy.context.preferences.addons}
checks.check(module_name in enabled, "enabled as %s: %s" % (module_name, sorted(enabled)))
installed = [module for module in addon_utils.modules(refresh=False)
             if module.__name__ == module_name]
checks.check(len(installed) == 1 and os.path.dirname(installed[0].__file__).startswith(work),
             "installed under the test's own folder: %s" % [m.__file__ for m in installed])
for group, name in (("import_scene", "tkm"), ("export_scene", "tkm"), ("export_scene", "tka")):
    try:
        getattr(getattr(bpy.ops, group), name).get_rna_type()
        found = True
    except (AttributeError, KeyError):
        found = False
    checks.check(found, "operator %s.%s registered" % (group, name))
# The preferences are found under the extension's own package name.
prefs = bpy.context.preferences.addons.get(module_name)
checks.check(prefs is not None and hasattr(prefs.preferences, "tkmtool_path"),
             "the add-on's preferences under %s" % module_name)

checks.finish()
