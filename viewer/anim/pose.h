// Posing a mesh in an animation frame, the one-frame rest pose, and stepping current_frame.
#pragma once

#include <cstdint>

struct tkm_mesh;
struct tka_animation;

// The "Current frame:" field of the animation window.
inline constexpr int current_frame_field_id = 1017;

// Fills the empty animation with a one-frame pose reproducing mesh's bind pose and sets
// rest_pose_animation; 0 on success, 1 when out of memory (the animation is then only fit for
// release_animation).
int build_rest_pose(const tkm_mesh *mesh, tka_animation *animation);

// Sets every stored vertex's world matrix for the frame in use (0 for the weapon mesh, else
// current_frame). Without an animation, or for a frame or bone outside it, the mesh's own bind
// pose is used, so no frame outside the arrays is read.
void pose_mesh(tkm_mesh *mesh, const tka_animation *animation);
// pose_mesh, also copying each stored vertex's posed position (its world translation) into
// positions, 3 floats per vertex, while the matrix is at hand.
void pose_mesh_positions(tkm_mesh *mesh, const tka_animation *animation, float *positions);

// The frame of animation that pose_mesh uses for mesh, or -1 when it has none to offer.
int32_t frame_in_use(const tkm_mesh *mesh, const tka_animation *animation);

// current_frame + 1 with wrap-around, then shown; nothing without an animation.
void next_frame();
// current_frame - 1 with wrap-around, then shown; nothing without an animation.
void previous_frame();
// Writes current_frame + 1 into the animation window (no-op while it does not exist).
void show_current_frame();

// The posed position of blend vertex index of mesh (weights as stored, not normalised); out is
// 3 floats. Components naming no stored vertex are skipped.
void blend_position(const tkm_mesh *mesh, uint16_t index, float *out);

// The posed position of the vertex a corner names (stored or blend); out is 3 floats, 0 when the
// index names nothing.
void corner_position(const tkm_mesh *mesh, uint16_t vertex, float *out);
