// SPDX-License-Identifier: MIT
// Posing: the rest pose, loaded animations, the weapon's frame, stepping frames, odd animations.
#include <gtest/gtest.h>

#include "tests/fixtures/mesh_loading.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"

namespace {

using namespace tkm_fixture;

struct Posing : testing::Test {
    temp_dir dir;
    int code = -1;
    mesh_ptr mesh;
    void SetUp() override {
        app_state.animation = nullptr;
        app_state.weapon_mesh = nullptr;
        app_state.animation_window = nullptr;
        app_state.current_frame = 0;
        app_state.rest_pose_animation = 0;
        mesh = read_mesh_bytes(dir, build_tkm(small_tkm()), &code, "gun.tkm");
        ASSERT_EQ(code, 0);
    }
    void TearDown() override {
        app_state.animation = nullptr;
        app_state.weapon_mesh = nullptr;
        app_state.current_frame = 0;
    }
    void expect_vertex(int index, float x, float y, float z) {
        const float *m = mesh->vertices[index].world;
        EXPECT_NEAR(m[12], x, 1e-5) << "vertex " << index;
        EXPECT_NEAR(m[13], y, 1e-5) << "vertex " << index;
        EXPECT_NEAR(m[14], z, 1e-5) << "vertex " << index;
    }
};

TEST_F(Posing, RestPoseReproducesTheBindPose) {
    animation_ptr rest(create_animation());
    ASSERT_EQ(build_rest_pose(mesh.get(), rest.get()), 0);
    EXPECT_EQ(app_state.rest_pose_animation, 1);
    EXPECT_STREQ(rest->name, "gun");
    ASSERT_EQ(rest->num_frames, 1);
    ASSERT_EQ(rest->num_bones, 2);
    EXPECT_EQ(rest->num_animated, 2);
    EXPECT_EQ(rest->animated_bones[1], 1);
    EXPECT_EQ(rest->frames[0].aux_rotation[3], 1.0f);
    EXPECT_EQ(rest->frames[0].aux_vector1[0], 0.0f);
    EXPECT_EQ(rest->frames[0].num_frame_strings, 0);
    EXPECT_STREQ(rest->bones[1].name, "barrel");
    EXPECT_EQ(rest->bones[1].parent, 0);
    EXPECT_EQ(rest->bones[1].animated, 1u);
    EXPECT_EQ(rest->bones[1].frame_rotations, nullptr);

    pose_mesh(mesh.get(), rest.get());
    // Root at (2,0,0): (1,0,0) lands on (3,0,0); the child turns x onto -y at (2,1,0).
    expect_vertex(0, 3, 0, 0);
    expect_vertex(1, 2, 1, 0);
    expect_vertex(2, 2, 0, 0);
    expect_vertex(3, 2, 1, 1);
    float blend[3];
    blend_position(mesh.get(), 0, blend);
    EXPECT_NEAR(blend[0], 2.5f, 1e-5);
    EXPECT_NEAR(blend[1], 0.5f, 1e-5);
}

TEST_F(Posing, LoadedAnimationPosesTheCurrentFrame) {
    animation_ptr swing = load_animation_bytes(dir, build_tka(small_tka(3)), mesh.get(), &code);
    ASSERT_EQ(code, 0);
    app_state.animation = swing.get();
    app_state.current_frame = 1;
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 2, -1, 0);
    expect_vertex(2, 3, -1, 0);
    app_state.current_frame = 2;
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 3, 0, 0);
    expect_vertex(2, 3, 1, 0); // the child's bind turn is replaced by the frame's rotation
}

TEST_F(Posing, WeaponMeshAlwaysUsesFrameZero) {
    animation_ptr swing = load_animation_bytes(dir, build_tka(small_tka(3)), mesh.get(), &code);
    ASSERT_EQ(code, 0);
    app_state.weapon_mesh = mesh.get();
    app_state.current_frame = 1;
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 3, 0, 0);
}

TEST_F(Posing, MissingFramesFallBackToTheBindPose) {
    // The loader refuses files without frames, but an animation left without them is still safe.
    animation_ptr none = load_animation_bytes(dir, build_tka(small_tka(1)), mesh.get(), &code);
    ASSERT_EQ(code, 0);
    none->num_frames = 0;
    pose_mesh(mesh.get(), none.get());
    expect_vertex(2, 2, 0, 0);
    animation_ptr swing = load_animation_bytes(dir, build_tka(small_tka(3)), mesh.get(), &code);
    app_state.current_frame = 3; // out of range: never read
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 3, 0, 0);
    app_state.current_frame = -1;
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 3, 0, 0);
    pose_mesh(mesh.get(), nullptr);
    expect_vertex(3, 2, 1, 1);
}

TEST_F(Posing, StepsWrapAround) {
    tka_animation ten{};
    ten.num_frames = 10;
    app_state.animation = &ten;
    app_state.current_frame = 9;
    next_frame();
    EXPECT_EQ(app_state.current_frame, 0);
    previous_frame();
    EXPECT_EQ(app_state.current_frame, 9);
    previous_frame();
    EXPECT_EQ(app_state.current_frame, 8);
    next_frame();
    EXPECT_EQ(app_state.current_frame, 9);

    tka_animation one{};
    one.num_frames = 1;
    app_state.animation = &one;
    app_state.current_frame = 0;
    next_frame();
    EXPECT_EQ(app_state.current_frame, 0);
    previous_frame();
    EXPECT_EQ(app_state.current_frame, 0);
}

TEST_F(Posing, StepsNeverLeaveAFramelessAnimationsRange) {
    tka_animation none{};
    app_state.animation = &none;
    previous_frame();
    EXPECT_EQ(app_state.current_frame, 0);
    next_frame();
    EXPECT_EQ(app_state.current_frame, 0);
    // A frame left out of range by a replaced animation is brought back on the next step.
    tka_animation four{};
    four.num_frames = 4;
    app_state.animation = &four;
    app_state.current_frame = 12;
    previous_frame();
    EXPECT_EQ(app_state.current_frame, 3);
    app_state.current_frame = 12;
    next_frame();
    EXPECT_EQ(app_state.current_frame, 0);
}

TEST_F(Posing, StepsWithoutAnimationChangeNothing) {
    app_state.current_frame = 5;
    next_frame();
    previous_frame();
    EXPECT_EQ(app_state.current_frame, 5);
}

} // namespace
