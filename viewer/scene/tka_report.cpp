// SPDX-License-Identifier: MIT
// What a TKA cannot hold of an animation: bone translations and scales, measured by how far they
// would have moved the model's vertices, frame by frame, against the rotations-only pose.
#include "viewer/scene/tka_report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/messages.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/scene_math.h"
#include "viewer/scene/tka_builder.h"

namespace {

bool differs(const float *a, const float *b, int count) {
    for (int i = 0; i < count; i++)
        if (std::fabs(a[i] - b[i]) > 1e-6f * (1.0f + std::fabs(b[i]))) return true;
    return false;
}

// What the animation does that a TKA cannot hold: translations away from the bind pose, scales
// other than one.
struct left_out {
    bool translations = false;
    bool scales = false;
};

left_out what_is_left_out(const scene_model &scene, const scene_animation &animation) {
    const float one[3] = {1, 1, 1};
    left_out found;
    for (const scene_track &track : animation.tracks) {
        const float *bind = &scene.joints[track.joint].local[12];
        const bool cubic = track.translation.interpolation == scene_interpolation::cubic_spline;
        for (size_t k = 0; k < track.translation.times.size(); k++)
            if (differs(&track.translation.values[k * (cubic ? 9 : 3) + (cubic ? 3 : 0)], bind, 3))
                found.translations = true;
        const bool cubic_scale = track.scale.interpolation == scene_interpolation::cubic_spline;
        for (size_t k = 0; k < track.scale.times.size(); k++)
            if (differs(&track.scale.values[k * (cubic_scale ? 9 : 3) + (cubic_scale ? 3 : 0)], one,
                        3))
                found.scales = true;
    }
    return found;
}

// World matrices of every joint at time t: with everything the animation says (full) and with
// its rotations alone on the bind translations (kept).
void pose_joints(const scene_model &scene, const std::vector<const scene_track *> &track_of,
                 float t, std::vector<float> &full, std::vector<float> &kept) {
    for (size_t j = 0; j < scene.joints.size(); j++) {
        const scene_joint &joint = scene.joints[j];
        const scene_track *track = track_of[j];
        float rotation[16];
        std::memcpy(rotation, joint.local, sizeof rotation);
        if (track && !track->rotation.times.empty()) {
            float q[4];
            sample_key_track(track->rotation, true, t, q);
            scene_quat_to_matrix(rotation, q);
        }
        float kept_local[16], full_local[16];
        std::memcpy(kept_local, rotation, sizeof kept_local);
        std::memcpy(&kept_local[12], &joint.local[12], 3 * sizeof(float));
        std::memcpy(full_local, kept_local, sizeof full_local);
        if (track && !track->translation.times.empty())
            sample_key_track(track->translation, false, t, &full_local[12]);
        if (track && !track->scale.times.empty()) {
            float scale[3];
            sample_key_track(track->scale, false, t, scale);
            for (int column = 0; column < 3; column++)
                for (int row = 0; row < 3; row++)
                    full_local[4 * column + row] *= scale[column];
        }
        const bool root = joint.parent < 0 || size_t(joint.parent) >= j;
        if (root) {
            std::memcpy(&full[16 * j], full_local, sizeof full_local);
            std::memcpy(&kept[16 * j], kept_local, sizeof kept_local);
        } else {
            mat4_multiply(&full[16 * j], &full[16 * size_t(joint.parent)], full_local);
            mat4_multiply(&kept[16 * j], &kept[16 * size_t(joint.parent)], kept_local);
        }
    }
}

std::string format_number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A share of one as a percentage with two significant digits ("3.1%", "0.052%"), whole from
// 100% on ("240%", where %g would write 2.4e+02%).
std::string format_share(double share) {
    char text[32];
    const double percent = 100 * share;
    std::snprintf(text, sizeof text, percent < 99.5 ? "%.2g%%" : "%.0f%%", percent);
    return text;
}

float distance(const float *a, const float *b) {
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

} // namespace

float report_dropped_motion(const scene_model &scene, const scene_animation &animation, float first,
                            uint16_t num_frames) {
    const left_out found = what_is_left_out(scene, animation);
    if (!found.translations && !found.scales) return 0;
    const size_t count = scene.joints.size();
    std::vector<const scene_track *> track_of(count, nullptr);
    for (const scene_track &track : animation.tracks)
        track_of[track.joint] = &track;
    // The bind pose's inverse world matrices, to skin the vertices with.
    const std::vector<std::array<float, 16>> bind = scene_joint_worlds(scene);
    std::vector<float> to_joint(16 * count);
    for (size_t j = 0; j < count; j++)
        mat4_rigid_inverse(&to_joint[16 * j], bind[j].data());
    std::vector<float> full(16 * count), kept(16 * count), full_skin(16 * count),
        kept_skin(16 * count);
    float largest = 0, most = 0;
    size_t most_moved = 0; // the joint carried furthest from its rotations-only place
    for (uint16_t f = 0; f < num_frames; f++) {
        const float t = first + float(f) / tka_frames_per_second;
        pose_joints(scene, track_of, t, full, kept);
        for (size_t j = 0; j < count; j++) {
            const float moved = distance(&full[16 * j + 12], &kept[16 * j + 12]);
            if (moved > most) most = moved, most_moved = j;
            largest = std::max(largest, moved);
            mat4_multiply(&full_skin[16 * j], &full[16 * j], &to_joint[16 * j]);
            mat4_multiply(&kept_skin[16 * j], &kept[16 * j], &to_joint[16 * j]);
        }
        for (const scene_vertex &vertex : scene.vertices) {
            float a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
            for (uint8_t k = 0; k < vertex.num_weights && k < 4; k++) {
                const scene_weight &w = vertex.weights[k];
                if (w.joint >= count) continue;
                float pa[3], pb[3];
                mat4_transform_point(pa, vertex.position, &full_skin[16 * size_t{w.joint}]);
                mat4_transform_point(pb, vertex.position, &kept_skin[16 * size_t{w.joint}]);
                const float share = vertex.num_weights == 1 ? 1.0f : w.weight;
                for (int i = 0; i < 3; i++) {
                    a[i] += share * pa[i];
                    b[i] += share * pb[i];
                }
            }
            if (vertex.num_weights) largest = std::max(largest, distance(a, b));
        }
    }
    const char *what = found.translations && found.scales ? "translations and scales"
                       : found.translations               ? "translations"
                                                          : "scales";
    const double size = scene_model_size(scene, bind);
    // A share tells a user whether the loss shows; the bone tells them where to look.
    const std::string share = size > 0 ? " (" + format_share(largest / size) +
                                             " of the model's size, " + format_number(size) + ")"
                                       : std::string();
    const std::string bone =
        most > 0 ? ", bone '" + scene.joints[most_moved].name + "' the most" : std::string();
    real_meow("Animation '%s': a TKA holds only rotations, so its bone %s are left out; they would "
              "have moved a vertex by up to %g%s%s\n",
              animation.name.c_str(), what, double{largest}, share.c_str(), bone.c_str());
    return largest;
}
