// SPDX-License-Identifier: MIT
// Quaternions in the neutral model's (textbook) sense, and their link to the viewer's.
#pragma once

// The textbook quaternion (x y z w, w >= 0) of the rotation part of the pure rotation m.
void matrix_to_scene_quat(float *q, const float *m);
// The rotation matrix (column-major, no translation) of the textbook quaternion q, normalised.
void scene_quat_to_matrix(float *m, const float *q);
// The tkm_bone::rotation whose quat_to_mat4 is the rotation of the textbook quaternion q: its
// conjugate, normalised.
void scene_quat_to_bone_rotation(float *out, const float *q);
// Spherical interpolation from a to b (textbook quaternions) by t in 0..1, along the shorter arc.
void scene_quat_slerp(float *out, const float *a, const float *b, float t);
