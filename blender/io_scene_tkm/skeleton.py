# SPDX-License-Identifier: GPL-2.0-or-later
"""The game skeleton an armature was imported with, kept inside the .blend (no bpy here).

Blender turns every bone to point along its own y axis, and the game's animations are rotations
relative to the game's own bone axes: a mesh exported with Blender's axes would twist under them.
So the import keeps the TKM's bone records in a custom property of the armature data (a small TKM
file holding only the skeleton, in base64 text, which a saved .blend keeps and no moved file can
break), and the TKM export hands them to tkmtool convert --skeleton."""

import base64
import binascii
import struct

from .tool import ToolError

# The armature data's custom property that holds the skeleton.
PROPERTY = "tarvik_skeleton"

# What follows the bones in a TKM file that holds nothing else: zero counts of runs, vertices and
# blend vertices, the blend word, zero counts of texture coordinates, corners, triangles and
# material runs, the list word, zero counts of triangle lists, texture names, materials, grips
# and grippers.
EMPTY_REST = struct.pack("<3H4s4H4s5H", 0, 0, 0, b"\0" * 4, 0, 0, 0, 0, b"\0" * 4, 0, 0, 0, 0, 0)


def skeleton_bytes(data):
    """The TKM file's header and bone records, as a TKM file of their own.

    Raises ToolError when data is not a TKM file or ends inside its bones."""
    def u16(at):
        if at + 2 > len(data):
            raise ToolError("the TKM file ends inside its skeleton")
        return struct.unpack_from("<H", data, at)[0]

    if len(data) < 24 or data[:11] != bytes.fromhex("72f6631e5e47d211879900"):
        raise ToolError("not a TKM file: its skeleton cannot be kept")
    bones = 24 + u16(22)
    at = bones + 2
    for _ in range(u16(bones)):
        at += 4 + u16(at + 2) + 2 + 12 + 16
    if at > len(data):
        raise ToolError("the TKM file ends inside its skeleton")
    return bytes(data[:at]) + EMPTY_REST


def remember(armature_data, tkm_path):
    """Keeps the skeleton of the TKM file at tkm_path on the armature data."""
    try:
        with open(tkm_path, "rb") as tkm:
            data = tkm.read()
    except OSError as error:
        raise ToolError("%s cannot be read again to keep its skeleton: %s"
                        % (tkm_path, error.strerror or error)) from None
    armature_data[PROPERTY] = base64.b64encode(skeleton_bytes(data)).decode("ascii")


def remembered(armature_data):
    """The skeleton kept on the armature data as TKM bytes, or None when it keeps none."""
    text = armature_data.get(PROPERTY) if armature_data is not None else None
    if not isinstance(text, str) or not text:
        return None
    try:
        return base64.b64decode(text.encode("ascii"), validate=True)
    except (binascii.Error, UnicodeEncodeError):
        return None
