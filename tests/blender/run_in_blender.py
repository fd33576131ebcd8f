#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Runs a test script in headless Blender, or skips (exit 77) when Blender is not installed.

Usage: run_in_blender.py WORK_DIR SCRIPT [ARG...]
The script gets WORK_DIR and the ARGs after "--"; Blender runs with a scratch TMPDIR and its own
user folders under WORK_DIR, so no test touches the user's Blender set-up."""

import os
import shutil
import subprocess
import sys

SKIP = 77


def main():
    work, script, args = sys.argv[1], sys.argv[2], sys.argv[3:]
    blender = shutil.which("blender")
    if not blender:
        print("blender is not installed: the Blender add-on test %s is skipped"
              % os.path.basename(script))
        return SKIP
    shutil.rmtree(work, ignore_errors=True)
    env = dict(os.environ)
    # Blender's embedded Python finds its standard library (and numpy) from the python3 first on
    # PATH; a python3 of its own version elsewhere (pyenv, a virtual environment) running this
    # script must not be that one.
    own = os.path.dirname(os.path.realpath(sys.executable))
    if own not in ("/usr/bin", "/bin"):
        env["PATH"] = os.pathsep.join(
            folder for folder in env.get("PATH", "").split(os.pathsep)
            if folder and os.path.realpath(folder) != own)
    for name, sub in (("TMPDIR", "tmp"), ("BLENDER_USER_SCRIPTS", "user-scripts"),
                      ("BLENDER_USER_CONFIG", "user-config"),
                      ("BLENDER_USER_EXTENSIONS", "user-extensions")):
        env[name] = os.path.join(work, sub)
        os.makedirs(env[name])
    command = [blender, "-b", "--factory-startup", "--python-exit-code", "1",
               "--python", script, "--", work] + args
    print(" ".join(command), flush=True)
    return subprocess.run(command, env=env, stdin=subprocess.DEVNULL, timeout=900,
                          check=False).returncode


if __name__ == "__main__":
    sys.exit(main())
