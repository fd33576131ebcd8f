// SPDX-License-Identifier: MIT
// Quaternions in the neutral model's (textbook) sense, and their link to the viewer's; the
// model's places.
#include "viewer/scene/scene_math.h"

#include <cmath>
#include <cstring>

#include "viewer/scene/scene.h"

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

// ---- places

std::vector<std::array<float, 16>> scene_joint_worlds(const scene_model &scene) {
    std::vector<std::array<float, 16>> worlds(scene.joints.size());
    for (size_t j = 0; j < scene.joints.size(); j++) {
        const scene_joint &joint = scene.joints[j];
        if (joint.parent < 0 || size_t(joint.parent) >= j)
            std::memcpy(worlds[j].data(), joint.local, sizeof joint.local);
        else
            mat4_multiply(worlds[j].data(), worlds[size_t(joint.parent)].data(), joint.local);
    }
    return worlds;
}

double scene_model_size(const scene_model &scene,
                        const std::vector<std::array<float, 16>> &worlds) {
    float low[3] = {INFINITY, INFINITY, INFINITY}, high[3] = {-INFINITY, -INFINITY, -INFINITY};
    auto take = [&](const float *p) {
        for (int k = 0; k < 3; k++)
            low[k] = std::fmin(low[k], p[k]), high[k] = std::fmax(high[k], p[k]);
    };
    for (const scene_vertex &vertex : scene.vertices)
        take(vertex.position);
    if (scene.vertices.empty())
        for (const auto &world : worlds)
            take(&world[12]);
    if (!(low[0] <= high[0])) return 0.0;
    const double dx = double(high[0]) - low[0], dy = double(high[1]) - low[1],
                 dz = double(high[2]) - low[2];
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}
