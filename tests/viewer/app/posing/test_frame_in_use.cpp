// SPDX-License-Identifier: MIT
// The viewer's posing: the frame in use taken from app_state, the weapon's frame, the rest-pose
// flag, and stepping frames.
#include <gtest/gtest.h>

#include "tests/viewer/anim/posing_fixture.h"
#include "viewer/app/app_state.h"
#include "viewer/app/posing.h"

namespace {

struct Posing : posing_fixture {
    void SetUp() override {
        app_state.animation = nullptr;
        app_state.weapon_mesh = nullptr;
        app_state.animation_window = nullptr;
        app_state.current_frame = 0;
        app_state.rest_pose_animation = 0;
        posing_fixture::SetUp();
    }
    void TearDown() override {
        app_state.animation = nullptr;
        app_state.weapon_mesh = nullptr;
        app_state.current_frame = 0;
    }
};

TEST_F(Posing, RestPoseIsMarkedAsOne) {
    tkm_fixture::animation_ptr rest(create_animation());
    ASSERT_EQ(build_rest_pose(mesh.get(), rest.get()), 0);
    EXPECT_EQ(app_state.rest_pose_animation, 1);
    EXPECT_EQ(rest->num_frames, 1);
}

TEST_F(Posing, PoseMeshTakesTheCurrentFrame) {
    tkm_fixture::animation_ptr swing = load_swing(3);
    ASSERT_EQ(code, 0);
    app_state.animation = swing.get();
    app_state.current_frame = 1;
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 2, -1, 0);
    expect_vertex(2, 3, -1, 0);
    app_state.current_frame = 2;
    float positions[3 * 4];
    pose_mesh_positions(mesh.get(), swing.get(), positions);
    expect_vertex(2, 3, 1, 0);
    EXPECT_NEAR(positions[3 * 2 + 0], 3.0f, 1e-5);
    EXPECT_NEAR(positions[3 * 2 + 1], 1.0f, 1e-5);
    app_state.current_frame = 3; // out of range: never read, the bind pose instead
    EXPECT_EQ(frame_in_use(mesh.get(), swing.get()), -1);
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 3, 0, 0);
}

TEST_F(Posing, WeaponMeshAlwaysUsesFrameZero) {
    tkm_fixture::animation_ptr swing = load_swing(3);
    ASSERT_EQ(code, 0);
    app_state.weapon_mesh = mesh.get();
    app_state.current_frame = 1;
    EXPECT_EQ(frame_in_use(mesh.get(), swing.get()), 0);
    pose_mesh(mesh.get(), swing.get());
    expect_vertex(0, 3, 0, 0);
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
