// SPDX-License-Identifier: MIT
// The Milkshape reader of the table of model formats: read, convert into the neutral model,
// release.
#pragma once

#include <cstdint>

#include "viewer/mesh/read_failure.h"

struct scene_model;

// What a Milkshape read is told and what it found.
struct ms3d_load_options {
    bool weights = false;      // in: bind vertices to the bones of their Milkshape 1.8 extras too
    uint32_t num_weighted = 0; // out: vertices whose extras weight more than their own bone
    read_failure failure{};    // out: where a failed read stopped, and the line that explains it
};

// Reads the Milkshape file at path into the empty neutral model (with its keyframes as an
// animation named after the file's stem), printing the read error; *stage (when not null) becomes
// "read_ms3d" or "convert_ms3d". 0, the reader's code, or the conversion step a name too long for
// its field belongs to.
int load_ms3d_scene(const char *path, scene_model *scene, const char **stage,
                    ms3d_load_options *options = nullptr);
