// SPDX-License-Identifier: MIT
// The viewer's posing: the frame in use taken from app_state, the rest-pose flag, and stepping
// current_frame with the animation window's field kept up to date (show_current_frame).
#pragma once

#include <cstdint>

#include "viewer/anim/pose.h"

// fill_rest_pose, also setting rest_pose_animation.
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
