// SPDX-License-Identifier: MIT
// Posing a mesh in a given frame of an animation, and the one-frame rest pose; the viewer's
// frame-in-use wrappers sit in viewer/app/posing.h.
#pragma once

#include <cstdint>

struct tkm_mesh;
struct tka_animation;

// Fills the empty animation with a one-frame pose reproducing mesh's bind pose; 0 on success, 1
// when out of memory (the animation is then only fit for release_animation).
int fill_rest_pose(const tkm_mesh *mesh, tka_animation *animation);

// frame when animation has it, else -1 (also without an animation or frames).
int32_t checked_frame(const tka_animation *animation, int32_t frame);

// Sets every stored vertex's world matrix for frame of animation; without an animation, or for a
// frame (-1 included) or bone outside it, the mesh's own bind pose is used, so no frame outside the
// arrays is read. With positions non-null, also copies each stored vertex's posed position (its
// world translation) there, 3 floats per vertex.
void pose_mesh_in_frame(tkm_mesh *mesh, const tka_animation *animation, int32_t frame,
                        float *positions);

// The posed position of blend vertex index of mesh (weights as stored, not normalised); out is
// 3 floats. Components naming no stored vertex are skipped.
void blend_position(const tkm_mesh *mesh, uint16_t index, float *out);

// The posed position of the vertex a corner names (stored or blend); out is 3 floats, 0 when the
// index names nothing.
void corner_position(const tkm_mesh *mesh, uint16_t vertex, float *out);
