// SPDX-License-Identifier: MIT
// The TKA builder: sampling the keys, Milkshape keyframes posed as they say, bones matched by
// name, what a TKA cannot hold reported, bad keys refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/fixtures/mesh_loading.h"
#include "tests/fixtures/ms3d_builder.h"
#include "tests/fixtures/scene_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/scene_math.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

namespace {

namespace fx = scene_fixture;
using tkm_fixture::animation_ptr;
using tkm_fixture::mesh_ptr;

struct built_animation {
    int result = -100;
    mesh_ptr mesh;
    animation_ptr animation;
    std::string err;
};

// The model's own skeleton built as a TKM, then its first animation for that skeleton.
built_animation build_own(scene_model scene, const tkm_mesh *skeleton = nullptr) {
    built_animation b;
    b.mesh.reset(create_mesh());
    b.animation.reset(create_animation());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    scene_model copy = scene;
    if (!skeleton && convert_scene_to_tkm(b.mesh.get(), &copy, {merge_method::grid, "glTF"}) != 0)
        ADD_FAILURE() << "the skeleton";
    b.result = build_tka(b.animation.get(), scene, 0, skeleton ? skeleton : b.mesh.get());
    testing::internal::GetCapturedStdout();
    b.err = testing::internal::GetCapturedStderr();
    return b;
}

// A track turning joint about z from 0 to degrees over seconds, in the given way.
scene_track turning(uint32_t joint, float degrees, float seconds,
                    scene_interpolation how = scene_interpolation::linear) {
    scene_track track;
    track.joint = joint;
    track.rotation.interpolation = how;
    track.rotation.times = {0, seconds};
    const float h = degrees * 0.5f * 3.14159265f / 180.0f;
    track.rotation.values = {0, 0, 0, 1, 0, 0, std::sin(h), std::cos(h)};
    return track;
}

void expect_turned_about_z(const float *world, float degrees, const char *what) {
    const float r = degrees * 3.14159265f / 180.0f;
    EXPECT_NEAR(world[0], std::cos(r), 1e-5f) << what;
    EXPECT_NEAR(world[1], std::sin(r), 1e-5f) << what;
    EXPECT_NEAR(world[4], -std::sin(r), 1e-5f) << what;
}

TEST(sample_key_track, each_interpolation) {
    struct sample_case {
        const char *what;
        scene_interpolation how;
        std::vector<float> values;
        float t;
        float expected;
    };
    using si = scene_interpolation;
    // Keys at 1 s and 3 s; the x of a translation.
    const sample_case cases[] = {
        {"step holds the earlier key", si::step, {2, 0, 0, 6, 0, 0}, 2.9f, 2},
        {"linear", si::linear, {2, 0, 0, 6, 0, 0}, 1.5f, 3},
        {"before the first key", si::linear, {2, 0, 0, 6, 0, 0}, 0, 2},
        {"after the last key", si::linear, {2, 0, 0, 6, 0, 0}, 9, 6},
        // in-tangent, value, out-tangent per key; flat tangents: the smoothstep midpoint
        {"cubic with flat tangents",
         si::cubic_spline,
         {0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0},
         2,
         4},
        // out-tangent 2 on the first key, in-tangent 0 on the second, a quarter of the way:
        // h00 x 2 + h10 x 2 s x 2 + h01 x 6 at u = 0.25
        {"cubic with tangents",
         si::cubic_spline,
         {0, 0, 0, 2, 0, 0, 2, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0, 0},
         1.5f,
         3.1875f},
    };
    for (const sample_case &c : cases) {
        scene_key_track track;
        track.interpolation = c.how;
        track.times = {1, 3};
        track.values = c.values;
        float out[3];
        sample_key_track(track, false, c.t, out);
        EXPECT_NEAR(out[0], c.expected, 1e-5f) << c.what;
    }
    // Rotations: the halfway of a quarter turn is an eighth turn.
    scene_track track = turning(0, 90, 2);
    float q[4];
    sample_key_track(track.rotation, true, 1, q);
    EXPECT_NEAR(q[2], std::sin(22.5f * 3.14159265f / 180), 1e-5f);
    EXPECT_NEAR(q[3], std::cos(22.5f * 3.14159265f / 180), 1e-5f);
}

// A Milkshape model made in code with known keys: the TKA poses as the keys say.
TEST(build_tka, milkshape_keyframes_pose_as_their_keys_say) {
    ms3d_fixture::model m = ms3d_fixture::chain_model(3);
    // Joint 1 turns about z (the third angle, in radians) from its rest angle of 30 degrees by 0,
    // then 90, then 60 degrees at 0, 1 and 1.5 s; joint 2 has a position key that a TKA cannot
    // hold.
    const float degree = 3.14159265f / 180;
    m.joints[1].rotation[2] = 30 * degree;
    m.joints[1].rotation_keys = {
        {0, {0, 0, 0}}, {1, {0, 0, 90 * degree}}, {1.5f, {0, 0, 60 * degree}}};
    m.joints[2].position_keys = {{0, {0, 0, 0}}, {1.5f, {0, 0, 2}}};
    ms3d_fixture::temp_file file(ms3d_fixture::bytes(m));
    ms3d_model *model = create_ms3d();
    ASSERT_EQ(read_ms3d(model, file.path.c_str()), 0);
    scene_model scene;
    ASSERT_EQ(ms3d_to_scene(model, &scene), 0);
    release_ms3d(model);
    ASSERT_EQ(scene.animations.size(), 1u);

    built_animation b = build_own(scene);
    ASSERT_EQ(b.result, 0) << b.err;
    const tka_animation &a = *b.animation;
    ASSERT_EQ(a.num_frames, 16) << "0 to 1.5 s at 10 frames a second";
    ASSERT_EQ(a.num_bones, 3);
    // Joint 1's world turn is the root's (none) times its own: rest 30 plus the key's angle.
    const struct {
        uint16_t frame;
        float degrees;
    } expected[] = {{0, 30}, {5, 75}, {10, 120}, {15, 90}};
    for (const auto &e : expected) {
        const float *world = a.bones[1].frame_worlds + 16 * e.frame;
        expect_turned_about_z(world, e.degrees, ("frame " + std::to_string(e.frame)).c_str());
    }
    // The vertices move with it: pose the mesh in frame 10.
    pose_mesh_in_frame(b.mesh.get(), b.animation.get(), 10, nullptr);
    for (uint16_t v = 0; v < b.mesh->num_vertices; v++) {
        const tkm_vertex &vertex = b.mesh->vertices[v];
        if (vertex.bone != 1) continue;
        float expected_world[16];
        mat4_multiply(expected_world, a.bones[1].frame_worlds + 16 * 10, vertex.local);
        for (int k = 12; k < 15; k++)
            EXPECT_NEAR(vertex.world[k], expected_world[k], 1e-5f);
    }
    // Joint 2 and its vertices (x = 2, y and z from 0 to 1: a box of diagonal sqrt(6)) are
    // carried 2 along z by the end; a Milkshape file has no scales to speak of.
    EXPECT_NE(b.err.find("Animation 'Milkshape': a TKA holds only rotations, so its bone "
                         "translations are left out; they would have moved a vertex by up to 2 "
                         "(82% of the model's size, 2.44949), bone 'j2' the most\n"),
              std::string::npos)
        << b.err;
}

// The note on what a TKA cannot hold says what is left out, how much of the model's size it is,
// and which bone it would have carried furthest.
TEST(build_tka, what_is_left_out_is_named_and_measured) {
    scene_track moved; // j2 from its bind (0 1 0) to (0 1.5 0) by 1 s: half a unit
    moved.joint = 2;
    moved.translation.times = {0, 1};
    moved.translation.values = {0, 1, 0, 0, 1.5f, 0};
    scene_track grown; // j1 twice its size by 1 s: its child j2 one unit further out
    grown.joint = 1;
    grown.scale.times = {0, 1};
    grown.scale.values = {1, 1, 1, 2, 2, 2};
    const struct {
        const char *what;
        std::vector<scene_track> tracks;
        const char *note; // after "Animation 'wave': a TKA holds only rotations, so its bone "
    } cases[] = {
        {"a translation",
         {moved},
         "translations are left out; they would have moved a vertex by up to 0.5 (25% of the "
         "model's size, 2), bone 'j2' the most\n"},
        {"a scale",
         {grown},
         "scales are left out; they would have moved a vertex by up to 1 (50% of the model's "
         "size, 2), bone 'j2' the most\n"},
        {"both",
         {moved, grown},
         // j2 stands at 1 + 2 x 1.5 instead of 2.
         "translations and scales are left out; they would have moved a vertex by up to 2 (100% "
         "of the model's size, 2), bone 'j2' the most\n"},
    };
    for (const auto &c : cases) {
        scene_model scene = fx::chain("arm", 3); // joints at y = 0, 1, 2: size 2
        scene.animations.push_back({"wave", c.tracks});
        built_animation b = build_own(scene);
        ASSERT_EQ(b.result, 0) << c.what << b.err;
        EXPECT_EQ(b.err, std::string("Animation 'wave': a TKA holds only rotations, so its bone ") +
                             c.note)
            << c.what;
    }
}

TEST(build_tka, bones_are_matched_by_name) {
    scene_model scene = fx::chain("arm", 3);
    scene.animations.push_back({"wave", {turning(1, 90, 1)}});
    // A mesh whose skeleton has the model's joints in another order and one more bone.
    scene_model other = fx::chain("other", 4);
    other.joints[1].name = "tail";
    other.joints[3].name = "j1";
    other.joints[3].parent = 0;
    mesh_ptr skeleton(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ASSERT_EQ(convert_scene_to_tkm(skeleton.get(), &other, {}), 0);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();

    built_animation b = build_own(scene, skeleton.get());
    ASSERT_EQ(b.result, 0) << b.err;
    EXPECT_NE(b.err.find("Bone 'tail' is not in the animation's model: it keeps its bind "
                         "rotation\n"),
              std::string::npos)
        << b.err;
    EXPECT_EQ(b.err.find("'j2'"), std::string::npos) << "j2 is in the model";
    const tka_animation &a = *b.animation;
    ASSERT_EQ(a.num_frames, 11);
    expect_turned_about_z(a.bones[3].frame_worlds + 16 * 10, 90, "j1 is bone 3 of the mesh");
    for (uint16_t f = 0; f < a.num_frames; f++)
        EXPECT_EQ(std::memcmp(a.bones[1].frame_rotations + 4 * f, skeleton->bones[1].rotation, 16),
                  0)
            << "the tail keeps its bind rotation in frame " << f;
    EXPECT_EQ(b.err.find("TKA holds only rotations"), std::string::npos) << "nothing left out";

    other.joints = {fx::joint("x", -1, 0, 0, 0)};
    mesh_ptr stranger(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    convert_scene_to_tkm(stranger.get(), &other, {});
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    built_animation none = build_own(scene, stranger.get());
    EXPECT_EQ(none.result, tka_build_no_bones);
    EXPECT_NE(none.err.find("No bone of the skeleton is named in the animation's model."),
              std::string::npos);
}

// The same skeleton with other axes on its joints (as Blender gives every bone its y axis along
// the bone), and keys written for those axes: the built frames turn the mesh's bones as the
// model's own skeleton does, whatever the turned axes.
TEST(build_tka, joints_with_other_axes_pose_the_bones_the_same) {
    scene_model own = fx::chain("arm", 3);
    scene_track bend = turning(1, 90, 1);
    bend.rotation.values = {0, 0, 0, 1, 0.2f, 0.3f, 0.4f, std::sqrt(1 - 0.29f)};
    own.animations.push_back({"wave", {turning(0, 40, 1), bend}});
    built_animation expected = build_own(own);
    ASSERT_EQ(expected.result, 0) << expected.err;

    // Axes of each joint turned by a constant rotation: locals and keys follow so that every joint
    // stays where it was and moves as it did.
    const float axes[3][3] = {{90, 0, 0}, {0, -90, 30}, {10, 20, 30}};
    std::vector<std::array<float, 16>> turn(3);
    for (size_t j = 0; j < 3; j++)
        euler_matrix(turn[j].data(), 0, 0, 0, axes[j][0], axes[j][1], axes[j][2]);
    auto conjugated = [&](size_t j, const float *m, float *out) {
        float undo_parent[16], half[16];
        const int32_t parent = own.joints[j].parent;
        if (parent >= 0)
            mat4_rigid_inverse(undo_parent, turn[size_t(parent)].data());
        else
            mat4_identity(undo_parent);
        mat4_multiply(half, undo_parent, m);
        mat4_multiply(out, half, turn[j].data());
    };
    scene_model turned = own;
    for (size_t j = 0; j < 3; j++)
        conjugated(j, own.joints[j].local, turned.joints[j].local);
    for (scene_track &track : turned.animations[0].tracks)
        for (size_t k = 0; k < track.rotation.times.size(); k++) {
            float *q = &track.rotation.values[4 * k], m[16], out[16];
            scene_quat_to_matrix(m, q);
            conjugated(track.joint, m, out);
            matrix_to_scene_quat(q, out);
        }
    built_animation b = build_own(turned, expected.mesh.get());
    ASSERT_EQ(b.result, 0) << b.err;
    ASSERT_EQ(b.animation->num_frames, expected.animation->num_frames);
    for (uint16_t f = 0; f < b.animation->num_frames; f++)
        for (uint16_t i = 0; i < 3; i++)
            for (int k = 0; k < 16; k++)
                EXPECT_NEAR(b.animation->bones[i].frame_worlds[16 * f + k],
                            expected.animation->bones[i].frame_worlds[16 * f + k], 1e-5f)
                    << "frame " << f << " bone " << i << " element " << k;
}

// The bones a TKA animates: those the file names (tkmtool's export lists them), else those whose
// rotation is keyed, and every bone when that leaves none (an empty list means every bone).
TEST(build_tka, animated_bones_are_those_named_or_keyed) {
    const struct {
        const char *what;
        std::vector<std::string> named;
        std::vector<uint32_t> keyed;
        std::vector<uint16_t> animated;
    } cases[] = {
        {"keyed", {}, {1, 2}, {1, 2}},
        {"named, keyed or not", {"j0", "j2"}, {1, 2}, {0, 2}},
        {"only translations keyed", {}, {}, {0, 1, 2}},
    };
    for (const auto &c : cases) {
        scene_model scene = fx::chain("arm", 3);
        scene_animation animation{"wave", {}, c.named};
        for (uint32_t joint : c.keyed)
            animation.tracks.push_back(turning(joint, 90, 1));
        if (c.keyed.empty()) {
            scene_track moved;
            moved.joint = 1;
            moved.translation.times = {0, 1};
            moved.translation.values = {0, 1, 0, 0, 1, 0};
            animation.tracks.push_back(moved);
        }
        scene.animations.push_back(animation);
        built_animation b = build_own(scene);
        ASSERT_EQ(b.result, 0) << c.what << b.err;
        const tka_animation &a = *b.animation;
        EXPECT_EQ(std::vector<uint16_t>(a.animated_bones, a.animated_bones + a.num_animated),
                  c.animated)
            << c.what;
        for (uint16_t i = 0; i < a.num_bones; i++) {
            const bool listed = std::count(c.animated.begin(), c.animated.end(), i) != 0;
            EXPECT_EQ(a.bones[i].animated, listed ? 1u : 0u) << c.what << " bone " << i;
            // A bone the TKA does not animate keeps its bind rotation, as the loader gives it.
            const bool bind = std::memcmp(a.bones[i].frame_rotations + 4 * 10,
                                          b.mesh->bones[i].rotation, 16) == 0;
            EXPECT_TRUE(listed || bind) << c.what << " bone " << i;
        }
    }
}

TEST(build_tka, bad_keys_are_refused) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct bad_case {
        const char *what;
        scene_track track;
        int code;
        const char *message;
    };
    std::vector<bad_case> cases;
    scene_track t = turning(1, 90, 1);
    t.rotation.times = {1, 1};
    cases.push_back({"times not increasing", t, tka_build_bad_keys, "have times not increasing"});
    t = turning(1, 90, 1);
    t.rotation.times = {0, nan};
    cases.push_back({"a time not a number", t, tka_build_bad_keys, "a time that is not a number"});
    t = turning(1, 90, 1);
    t.rotation.values[5] = inf;
    cases.push_back({"an infinite value", t, tka_build_bad_keys, "not a finite number"});
    t = turning(1, 90, 1);
    t.rotation.values.pop_back();
    cases.push_back({"values missing", t, tka_build_bad_keys, "as many values"});
    t = turning(1, 90, 1);
    t.rotation.interpolation = scene_interpolation::cubic_spline;
    cases.push_back({"cubic without tangents", t, tka_build_bad_keys, "as many values"});
    t = turning(7, 90, 1);
    cases.push_back({"a joint that is not there", t, tka_build_bad_keys, "moves joint 7"});
    cases.push_back({"too long", turning(1, 90, 6553.5f), tka_build_too_many_frames,
                     "more than the 65535 frames"});
    for (bad_case &c : cases) {
        scene_model scene = fx::chain("arm", 3);
        scene.animations.push_back({"wave", {c.track}});
        built_animation b = build_own(scene);
        EXPECT_EQ(b.result, c.code) << c.what;
        EXPECT_NE(b.err.find(c.message), std::string::npos) << c.what << ": " << b.err;
    }
    // The longest that fits: 65,535 frames.
    scene_model longest = fx::chain("arm", 3);
    longest.animations.push_back({"wave", {turning(1, 90, 6553.4f)}});
    built_animation b = build_own(longest);
    EXPECT_EQ(b.result, 0) << b.err;
    EXPECT_EQ(b.animation->num_frames, 65535);
}

} // namespace
