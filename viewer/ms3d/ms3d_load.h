// SPDX-License-Identifier: MIT
// The Milkshape branch of the mesh load command: read, convert, release.
#pragma once

#include <cstdint>

#include "viewer/mesh/read_failure.h"

struct tkm_mesh;
struct scene_model;

// Reads the Milkshape file at path and converts it into the empty mesh, printing the read or
// conversion error; 0 on success, non-zero when the mesh is not to be used.
int load_ms3d_mesh(const char *path, tkm_mesh *mesh);

// load_ms3d_mesh that also tells which stage gave the result: *stage (when stage is not null)
// becomes "read_ms3d" or "convert_ms3d", a static string. The result is that stage's code: the
// reader's (1..56, -1, -2) or the conversion's step (1..4); 0 on success (stage "convert_ms3d").
// options (may be null): whether to keep the extra bone weights, and how many vertices have them.
struct ms3d_load_options {
    bool weights = false;      // in: bind vertices to the bones of their Milkshape 1.8 extras too
    uint32_t num_weighted = 0; // out: vertices whose extras weight more than their own bone
    read_failure failure{};    // out: where a failed read stopped, and the line that explains it
};
int load_ms3d_mesh_staged(const char *path, tkm_mesh *mesh, const char **stage,
                          ms3d_load_options *options = nullptr);

// Reads the Milkshape file at path into the empty neutral model (with its keyframes as an
// animation named after the file's stem), printing the read error; *stage (when not null) becomes
// "read_ms3d" or "convert_ms3d". 0, the reader's code, or the conversion step a name too long for
// its field belongs to.
int load_ms3d_scene(const char *path, scene_model *scene, const char **stage,
                    ms3d_load_options *options = nullptr);
