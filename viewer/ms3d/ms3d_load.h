// SPDX-License-Identifier: MIT
// The Milkshape branch of the mesh load command: read, convert, release.
#pragma once

struct tkm_mesh;
struct scene_model;

// Reads the Milkshape file at path and converts it into the empty mesh, printing the read or
// conversion error; 0 on success, non-zero when the mesh is not to be used.
int load_ms3d_mesh(const char *path, tkm_mesh *mesh);

// load_ms3d_mesh that also tells which stage gave the result: *stage (when stage is not null)
// becomes "read_ms3d" or "convert_ms3d", a static string. The result is that stage's code: the
// reader's (1..56, -1, -2) or the conversion's step (1..4); 0 on success (stage "convert_ms3d").
int load_ms3d_mesh_staged(const char *path, tkm_mesh *mesh, const char **stage);

// Reads the Milkshape file at path into the empty neutral model (with its keyframes as an
// animation), printing the read error; *stage (when not null) becomes "read_ms3d" or
// "convert_ms3d". 0, the reader's code, or the conversion step a name too long for its field
// belongs to.
int load_ms3d_scene(const char *path, scene_model *scene, const char **stage);
