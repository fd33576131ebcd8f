// SPDX-License-Identifier: MIT
// The optional blocks of Milkshape 1.8 after the joints (comments, vertex, joint and model
// extras) and the extra bone weights they give the vertices.
#pragma once

#include <cstdint>
#include <cstdio>

#include "viewer/files/byte_reader.h"
#include "viewer/ms3d/ms3d_model.h"

// The optional blocks after the joints: truncated, of an unknown sub-version, or inconsistent
// (ms3d_extras_block names the block).
inline constexpr int ms3d_bad_comments = ms3d_code_comments;
inline constexpr int ms3d_bad_vertex_extras = ms3d_code_vertex_extras;
inline constexpr int ms3d_bad_joint_extras = ms3d_code_joint_extras;
inline constexpr int ms3d_bad_model_extras = ms3d_code_model_extras;

// The name of the optional block a read_ms3d code belongs to ("comments", "vertex extras", "joint
// extras", "model extras"), or null for any other code.
const char *ms3d_extras_block(int code);
// How the optional blocks after the joints are read. Strict: a bad block fails the read with its
// ms3d_bad_* code. Lenient: the blocks before the bad one are kept, the bad one and those after it
// are left out, and the read succeeds with extras.stopped_block and stopped_at saying where; the
// conversion uses no block, so real files whose trailer was edited or damaged still convert.
enum ms3d_extras_reading : int { ms3d_extras_strict, ms3d_extras_lenient };

// Reads the optional blocks after the joints into model->extras; a file that ends where a block
// would start is complete. 0 or (strict reading only) one of the ms3d_bad_* codes.
int read_ms3d_extras(ms3d_model *model, byte_reader *bytes, ms3d_extras_reading reading);
// Whether a lenient read stopped before the vertex extras were whole, so that the file's weights
// are out of reach: at the comments or at the vertex extras block.
bool ms3d_vertex_extras_lost(const ms3d_extras &extras);
// The number of vertices whose weights under the extras are other than wholly their own bone.
uint32_t ms3d_weighted_vertices(const ms3d_model *model);
// A vertex's bones and their shares of the maximum weight (255 or 100), the own bone first.
struct ms3d_vertex_weights {
    int num;
    int bones[4];
    int weights[4];
};
// The weights of vertex i, one entry per joint: 0, 1 (a bone id not below num_joints) or 2
// (weights over the maximum). num is 0 for a vertex with no bone; the own bone alone (1, with the
// maximum) for one without extras or whose extras leave no weight on any joint.
int ms3d_vertex_weights_of(const ms3d_model *model, uint16_t i, ms3d_vertex_weights *out);
// Every vertex's extras checked against the joints: bone ids below num_joints (or -1) and weights
// within their maximum. 0, or 1 after printing which vertex is wrong.
int check_ms3d_weights(const ms3d_model *model);
