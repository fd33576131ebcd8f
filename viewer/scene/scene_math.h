// SPDX-License-Identifier: MIT
// Quaternions in the neutral model's (textbook) sense, and their link to the viewer's; where the
// model's joints stand and how big it is.
#pragma once

#include <array>
#include <vector>

struct scene_model;

// The textbook quaternion (x y z w, w >= 0) of the rotation part of the pure rotation m.
void matrix_to_scene_quat(float *q, const float *m);
// The rotation matrix (column-major, no translation) of the textbook quaternion q, normalised.
void scene_quat_to_matrix(float *m, const float *q);
// The tkm_bone::rotation whose quat_to_mat4 is the rotation of the textbook quaternion q: its
// conjugate, normalised.
void scene_quat_to_bone_rotation(float *out, const float *q);
// Spherical interpolation from a to b (textbook quaternions) by t in 0..1, along the shorter arc.
void scene_quat_slerp(float *out, const float *a, const float *b, float t);

// Each joint's bind pose in the model (column-major, a joint's parent before it; a parent that
// does not come first is taken as none).
std::vector<std::array<float, 16>> scene_joint_worlds(const scene_model &scene);
// The diagonal of the box around the model's vertices (around worlds' origins, the joints, when
// it has none); 0 for an empty model. In the model's units.
double scene_model_size(const scene_model &scene, const std::vector<std::array<float, 16>> &worlds);
