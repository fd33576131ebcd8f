// SPDX-License-Identifier: MIT
// Writing a tkm_mesh as a TKM file (stored fields only, never the derived ones).
#pragma once

#include <cstdint>
#include <cstdio>

#include "viewer/mesh/mesh.h"

// Writes mesh to path through a scratch file that replaces it only when complete; 0 on success,
// else 1 when no file could be made, the failing field's code (2 to 66), or 67 when the finished
// file could not be put in place. On failure path is as it was, nothing else is left beside it,
// and errno holds the system's reason (0 when the failure was not the system's).
int write_tkm(const tkm_mesh *mesh, const char *path);

// Writes mesh into an open binary stream (left open, not flushed); 0, or 2 to 66 as write_tkm.
// For writers that own their stream, such as a scratch file that replaces its target when done.
int write_tkm_stream(const tkm_mesh *mesh, FILE *stream);

// Writes count bone records (own index, name, parent, position, rotation); 0, or 6 to 11.
int write_bones(FILE *stream, uint16_t count, const tkm_bone *bones);

// Writes a count and that many gripper records; 0, or 1 to 6.
int write_gripper_list(FILE *stream, uint16_t count, const gripper *array);
