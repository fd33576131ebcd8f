# SPDX-License-Identifier: GPL-2.0-or-later
"""Finding and running tkmtool, and the scratch folders its files pass through (no bpy here)."""

import collections
import os
import subprocess
import tempfile

# Prefix of every scratch folder, so a leftover one is recognisable.
TEMP_PREFIX = "io_scene_tkm-"

# Longest a single tkmtool run may take before it counts as hung, in seconds.
RUN_TIMEOUT = 600

# The add-on's own folder: the Windows extension carries tkmtool.exe in it.
PACKAGE_FOLDER = os.path.dirname(os.path.abspath(__file__))
BUNDLED_TOOL = "tkmtool.exe"

# Windows starts a console program from Blender in a console window of its own, which would
# flash up at every conversion.
CREATE_NO_WINDOW = 0x08000000

# What finding and running tkmtool asks of the system: whether it is Windows, its path module
# (ntpath or posixpath), its environment, and whether a path is a program it can start. Tests
# describe a Windows system on Linux with ntpath and a dictionary.
System = collections.namedtuple("System", "windows path environ is_program")


class ToolError(Exception):
    """A failure with the message the user sees in Blender's report."""


def _is_program(path):
    return os.path.isfile(path) and os.access(path, os.X_OK)


def this_system():
    """The system the add-on runs on."""
    return System(os.name == "nt", os.path, os.environ, _is_program)


def _unquoted(path):
    """path without the double quotes Windows puts around a copied path, or PATH may hold."""
    path = path.strip()
    if len(path) >= 2 and path[0] == path[-1] == '"':
        return path[1:-1]
    return path


def expand_home(path, system=None):
    """path with a leading ~ as the user's home folder (USERPROFILE on Windows, else HOME)."""
    system = system or this_system()
    separators = "/\\" if system.windows else "/"
    if path != "~" and not (path[:1] == "~" and path[1:2] and path[1] in separators):
        return path
    home = system.environ.get("USERPROFILE" if system.windows else "HOME", "")
    if not home:
        return path
    return system.path.join(home, path[2:]) if len(path) > 2 else home


def bundled_tool(system=None, folder=PACKAGE_FOLDER):
    """The tkmtool.exe beside the add-on's files in its Windows extension, or ""."""
    system = system or this_system()
    if not system.windows:
        return ""
    path = system.path.join(folder, BUNDLED_TOOL)
    return path if system.is_program(path) else ""


def tool_on_path(system=None):
    """tkmtool's path in a folder on PATH, or "" when it is in none."""
    system = system or this_system()
    name = "tkmtool.exe" if system.windows else "tkmtool"
    for folder in split_paths(system.environ.get("PATH", ""), system):
        candidate = system.path.join(_unquoted(folder), name)
        if system.is_program(candidate):
            return candidate
    return ""


def default_tool_path(system=None, folder=PACKAGE_FOLDER):
    """The tkmtool to run when none is configured: on Windows the one the add-on carries, else
    the one on PATH; "" when there is none."""
    system = system or this_system()
    return bundled_tool(system, folder) or tool_on_path(system)


def find_tool(configured, system=None, folder=PACKAGE_FOLDER):
    """The tkmtool to run: the configured path, or the default one when none is configured.

    Raises ToolError naming where it looked when there is none to run."""
    system = system or this_system()
    if configured.strip():
        path = expand_home(_unquoted(configured), system)
        if system.is_program(path):
            return path
        raise ToolError("tkmtool not found at %s: set its path in the preferences of the "
                        "add-on \"Import-Export: SWAT TKM/TKA\"" % configured)
    found = default_tool_path(system, folder)
    if not found:
        where = "beside the add-on or on PATH" if system.windows else "on PATH"
        raise ToolError("tkmtool not found %s: install it, or set its path in the "
                        "preferences of the add-on \"Import-Export: SWAT TKM/TKA\"" % where)
    return found


def run_options(system=None):
    """The arguments of subprocess.run that the system needs besides the command."""
    system = system or this_system()
    return {"creationflags": CREATE_NO_WINDOW} if system.windows else {}


def messages(output):
    """tkmtool's messages, printed as UTF-8, one a line without the line ends of either system."""
    text = output.decode("utf-8", "replace")
    return [line.rstrip() for line in text.splitlines() if line.strip()]


def run(tool, args, system=None):
    """Runs tkmtool with args; returns the warnings it printed on standard error, one a line.

    Raises ToolError with tkmtool's own message when it fails."""
    try:
        done = subprocess.run([tool] + list(args), stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=RUN_TIMEOUT, check=False, **run_options(system))
    except subprocess.TimeoutExpired:
        raise ToolError("tkmtool %s took longer than %d s and was stopped"
                        % (args[0], RUN_TIMEOUT)) from None
    except OSError as error:
        raise ToolError("tkmtool could not be started (%s): %s"
                        % (tool, error.strerror or error)) from None
    notes = messages(done.stderr)
    if done.returncode != 0:
        raise ToolError("\n".join(notes) if notes else
                        "tkmtool %s failed with exit status %d" % (args[0], done.returncode))
    return notes


def scratch_folder():
    """A folder for the intermediate glTF file, removed with all it holds when the with-block
    ends, however it ends."""
    # On Windows a file another program still holds open (a virus scanner) cannot be removed
    # yet; that must not turn a finished import into a failure.
    return tempfile.TemporaryDirectory(prefix=TEMP_PREFIX, ignore_cleanup_errors=True)


def scratch_file(folder, source, extension, system=None):
    """The path in the scratch folder of the file made from source, named after it."""
    system = system or this_system()
    return system.path.join(folder, file_stem(source, system) + extension)


def split_paths(joined, system=None):
    """The paths in a string of paths joined by the system's path separator, without empty
    ones."""
    system = system or this_system()
    if not joined:
        return []
    return [path for path in joined.split(system.path.pathsep) if path.strip()]


def file_stem(path, system=None):
    """The file name without folder and extension: what an imported object or action is called."""
    system = system or this_system()
    return system.path.splitext(system.path.basename(path))[0]
