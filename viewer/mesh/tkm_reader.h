// SPDX-License-Identifier: MIT
// Reading TKM mesh files into a tkm_mesh, and the bone and gripper records shared with TKA files.
#pragma once

#include <cstdint>
#include <cstddef>

#include "viewer/mesh/mesh.h"
#include "viewer/files/byte_reader.h"
#include "viewer/mesh/read_failure.h"

// Fills the empty mesh (gl_textures and directory set by the caller) from the TKM file at path.
// 0 on success, else the failing field's code, 1 to 66; a failed mesh is only fit for
// release_mesh. The reader's own sentence ("x.tkm is not a TKM", a bone run that reaches past the
// vertices) is printed on standard error.
int read_tkm(tkm_mesh *mesh, const char *path);
// read_tkm that fills *failure (when not null) with where a failed read stopped, the line that
// explains it (tkm_format.h) and the reader's own sentence (failure->notice), printing nothing;
// with a null failure it prints as read_tkm does.
int read_tkm_explained(tkm_mesh *mesh, const char *path, read_failure *failure);
// read_tkm_explained on the size octets at data, a whole file in memory; path only names it in
// messages. The file entries read the file at once and come here.
int read_tkm_memory(tkm_mesh *mesh, const uint8_t *data, size_t size, const char *path,
                    read_failure *failure = nullptr);

// Reads the 16-octet magic and compares its first eleven octets with magic's; 0 when they match,
// 1 with record's notice "<path> is not a TKM" when they differ or the file is shorter than the
// magic (an empty file too), 2 when the take itself fails. Shared by the TKM and TKA readers.
int read_magic(byte_reader *in, const uint8_t *magic, const char *path, read_failure *record);

// Reads count bone records from in into the caller's zero-filled array and derives local and
// world; 0, or 6 to 11 (a short record counts as the field that came up short).
int read_bones(byte_reader *in, uint16_t count, tkm_bone *bones);
// read_bones keeping *record at the index of the bone being read (-1 once all are read).
int read_bones_at(byte_reader *in, uint16_t count, tkm_bone *bones, int32_t *record);

// Reads a count and that many gripper records; *array_out is a new block (left null for 0) owned by
// the caller even on failure, with *count_out entries valid for release. 0, or 1 to 6.
int read_gripper_list(byte_reader *in, uint16_t *count_out, gripper **array_out);
// read_gripper_list keeping *record at the index of the record being read (-1 at the count).
int read_gripper_list_at(byte_reader *in, uint16_t *count_out, gripper **array_out,
                         int32_t *record);
