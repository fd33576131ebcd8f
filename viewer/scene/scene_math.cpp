// SPDX-License-Identifier: MIT
// Quaternions in the neutral model's (textbook) sense, and their link to the viewer's.
#include "viewer/scene/scene_math.h"

#include <cmath>

#include "viewer/math/math3d.h"
#include "viewer/scene/tkm_builder.h"

void matrix_to_scene_quat(float *q, const float *m) {
    float bone[4];
    matrix_to_bone_rotation(bone, m);
    q[0] = 0.0f - bone[0];
    q[1] = 0.0f - bone[1];
    q[2] = 0.0f - bone[2];
    q[3] = bone[3];
}

void scene_quat_to_bone_rotation(float *out, const float *q) {
    const float conjugate[4] = {-q[0], -q[1], -q[2], q[3]};
    quat_normalize(out, conjugate);
}

void scene_quat_to_matrix(float *m, const float *q) {
    float bone[4];
    scene_quat_to_bone_rotation(bone, q);
    quat_to_mat4(m, bone);
}

void scene_quat_slerp(float *out, const float *a, const float *b, float t) {
    double dot = 0;
    for (int k = 0; k < 4; k++)
        dot += double{a[k]} * b[k];
    const double sign = dot < 0 ? -1.0 : 1.0;
    dot *= sign;
    double wa = 1.0 - t, wb = t;
    if (dot < 0.9995) {
        const double angle = std::acos(dot);
        const double s = std::sin(angle);
        wa = std::sin((1.0 - t) * angle) / s;
        wb = std::sin(t * angle) / s;
    }
    float mixed[4];
    for (int k = 0; k < 4; k++)
        mixed[k] = static_cast<float>(wa * a[k] + wb * sign * b[k]);
    quat_normalize(out, mixed);
}
