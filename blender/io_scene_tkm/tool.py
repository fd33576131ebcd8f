# SPDX-License-Identifier: GPL-2.0-or-later
"""Finding and running tkmtool, and the scratch folders its files pass through (no bpy here)."""

import os
import shutil
import subprocess
import tempfile

# Prefix of every scratch folder, so a leftover one is recognisable.
TEMP_PREFIX = "io_scene_tkm-"

# Longest a single tkmtool run may take before it counts as hung, in seconds.
RUN_TIMEOUT = 600


class ToolError(Exception):
    """A failure with the message the user sees in Blender's report."""


def default_tool_path():
    """tkmtool's path on PATH, or "" when it is not there."""
    return shutil.which("tkmtool") or ""


def find_tool(configured):
    """The tkmtool to run: the configured path, or the one on PATH when none is configured.

    Raises ToolError naming where it looked when there is none to run."""
    if configured:
        path = os.path.expanduser(configured)
        if os.path.isfile(path) and os.access(path, os.X_OK):
            return path
        raise ToolError("tkmtool not found at %s: set its path in the preferences of the "
                        "add-on \"Import-Export: SWAT TKM/TKA\"" % configured)
    found = default_tool_path()
    if not found:
        raise ToolError("tkmtool not found on PATH: install it, or set its path in the "
                        "preferences of the add-on \"Import-Export: SWAT TKM/TKA\"")
    return found


def run(tool, args):
    """Runs tkmtool with args; returns the warnings it printed on standard error, one a line.

    Raises ToolError with tkmtool's own message when it fails."""
    try:
        done = subprocess.run([tool] + list(args), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=RUN_TIMEOUT, check=False)
    except subprocess.TimeoutExpired:
        raise ToolError("tkmtool %s took longer than %d s and was stopped"
                        % (args[0], RUN_TIMEOUT)) from None
    except OSError as error:
        raise ToolError("tkmtool could not be started (%s): %s"
                        % (tool, error.strerror or error)) from None
    errors = done.stderr.decode("utf-8", "replace").strip()
    if done.returncode != 0:
        if not errors:
            errors = "tkmtool %s failed with exit status %d" % (args[0], done.returncode)
        raise ToolError(errors)
    return [line for line in errors.splitlines() if line.strip()]


def scratch_folder():
    """A folder for the intermediate glTF file, removed with all it holds when the with-block
    ends, however it ends."""
    return tempfile.TemporaryDirectory(prefix=TEMP_PREFIX)


def split_paths(joined):
    """The paths in a string of paths joined by os.pathsep, without empty ones."""
    return [path for path in joined.split(os.pathsep) if path.strip()] if joined else []


def file_stem(path):
    """The file name without folder and extension: what an imported object or action is called."""
    return os.path.splitext(os.path.basename(path))[0]
