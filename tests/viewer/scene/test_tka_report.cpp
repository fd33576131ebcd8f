// SPDX-License-Identifier: MIT
// The report of what a TKA cannot hold (bone translations and scales), checked against distances
// worked out by hand on a two-joint model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/scene/scene.h"
#include "viewer/scene/tka_report.h"

namespace {

// A root at the origin and a child 2 above it, both unturned; one vertex on the root at the
// origin and two on the child, at (0, 2, 0) and (3, 2, 0). The box around the vertices is 3 by 2
// by 0, so the model's size is sqrt(13).
scene_model two_joint_model() {
    scene_model scene;
    scene.name = "model";
    scene_joint root, child;
    root.name = "root";
    child.name = "child";
    child.parent = 0;
    for (scene_joint *joint : {&root, &child})
        for (int i = 0; i < 16; i++)
            joint->local[i] = i % 5 == 0 ? 1.0f : 0.0f;
    child.local[13] = 2;
    scene.joints = {root, child};
    const float positions[3][3] = {{0, 0, 0}, {0, 2, 0}, {3, 2, 0}};
    const uint32_t joints[3] = {0, 1, 1};
    for (int v = 0; v < 3; v++) {
        scene_vertex vertex;
        for (int i = 0; i < 3; i++)
            vertex.position[i] = positions[v][i];
        vertex.num_weights = 1;
        vertex.weights[0] = {joints[v], 1.0f};
        scene.vertices.push_back(vertex);
    }
    return scene;
}

// A linear track of two keys, at 0 and 1 second.
scene_key_track two_keys(const std::vector<float> &from, const std::vector<float> &to) {
    scene_key_track track;
    track.times = {0, 1};
    track.values = from;
    track.values.insert(track.values.end(), to.begin(), to.end());
    return track;
}

scene_track child_moved_4_along_z() {
    scene_track track;
    track.joint = 1;
    track.translation = two_keys({0, 2, 0}, {0, 2, 4});
    return track;
}

scene_track root_doubled() {
    scene_track track;
    track.joint = 0;
    track.scale = two_keys({1, 1, 1}, {2, 2, 2});
    return track;
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

const std::string model_size = number(std::sqrt(13.0)); // "3.60555"

struct report_case {
    const char *name;
    std::vector<scene_track> tracks;
    float first;          // seconds
    uint16_t num_frames;  // sampled at 10 a second from first
    double largest;       // the distance the report gives, worked out by hand
    std::string expected; // standard error
};

std::string line(const std::string &what, double largest, const std::string &share,
                 const std::string &bone) {
    return "Animation 'walk': a TKA holds only rotations, so its bone " + what +
           " are left out; they would have moved a vertex by up to " + number(largest) + " (" +
           share + " of the model's size, " + model_size + ")" + bone + "\n";
}

std::vector<report_case> report_cases() {
    // At 1 second the child stands at (0, 2, 4) instead of (0, 2, 0): it and its vertices move 4;
    // 4 / sqrt(13) is 111%.
    const double moved = 4;
    // The root doubled: the child's origin goes to (0, 4, 0), 2 away; its vertex (3, 2, 0) to
    // (6, 4, 0), sqrt(9 + 4) away, 100% of the model's size; the root's own vertex stays.
    const double scaled = std::sqrt(13.0);
    // Both: the child's local (0, 2, 4) doubled is (0, 4, 8); the vertex (3, 2, 0) goes to
    // (6, 4, 8), sqrt(9 + 4 + 64) away, 243% of sqrt(13).
    const double both = std::sqrt(77.0);
    scene_track still = child_moved_4_along_z();
    still.translation = two_keys({0, 2, 0}, {0, 2, 0});
    return {
        {"translation",
         {child_moved_4_along_z()},
         0,
         11,
         moved,
         line("translations", moved, "111%", ", bone 'child' the most")},
        {"scale",
         {root_doubled()},
         0,
         11,
         scaled,
         line("scales", scaled, "100%", ", bone 'child' the most")},
        {"translation_and_scale",
         {root_doubled(), child_moved_4_along_z()},
         0,
         11,
         both,
         line("translations and scales", both, "243%", ", bone 'child' the most")},
        // Halfway, at 0.5 second, the child has come 2 of its 4: 55% of sqrt(13).
        {"frames_up_to_halfway",
         {child_moved_4_along_z()},
         0,
         6,
         2,
         line("translations", 2, "55%", ", bone 'child' the most")},
        // Sampled only at the start, where the keys still give the bind pose: it is left out, but
        // nothing moved, so no bone is named.
        {"only_the_first_frame",
         {child_moved_4_along_z()},
         0,
         1,
         0,
         line("translations", 0, "0%", "")},
        {"keys_on_the_bind_pose", {still}, 0, 11, 0, ""},
        {"rotations_only", {}, 0, 11, 0, ""},
    };
}

TEST(report_dropped_motion, distances_shares_and_bones) {
    const scene_model scene = two_joint_model();
    for (const report_case &c : report_cases()) {
        scene_animation animation;
        animation.name = "walk";
        animation.tracks = c.tracks;
        testing::internal::CaptureStderr();
        const float largest = report_dropped_motion(scene, animation, c.first, c.num_frames);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_NEAR(largest, c.largest, 1e-5) << c.name;
        EXPECT_EQ(err, c.expected) << c.name;
    }
}

} // namespace
