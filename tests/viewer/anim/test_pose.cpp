// SPDX-License-Identifier: MIT
// Posing in a given frame: the rest pose, loaded animations, odd animations.
#include <gtest/gtest.h>

#include "tests/viewer/anim/posing_fixture.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"

namespace {

using Posing = posing_fixture;

TEST_F(Posing, RestPoseReproducesTheBindPose) {
    tkm_fixture::animation_ptr rest(create_animation());
    ASSERT_EQ(fill_rest_pose(mesh.get(), rest.get()), 0);
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

    pose_mesh_in_frame(mesh.get(), rest.get(), 0, nullptr);
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
    tkm_fixture::animation_ptr swing = load_swing(3);
    ASSERT_EQ(code, 0);
    pose_mesh_in_frame(mesh.get(), swing.get(), 1, nullptr);
    expect_vertex(0, 2, -1, 0);
    expect_vertex(2, 3, -1, 0);
    float positions[3 * 4];
    pose_mesh_in_frame(mesh.get(), swing.get(), 2, positions);
    expect_vertex(0, 3, 0, 0);
    expect_vertex(2, 3, 1, 0); // the child's bind turn is replaced by the frame's rotation
    EXPECT_NEAR(positions[3 * 2 + 0], 3.0f, 1e-5);
    EXPECT_NEAR(positions[3 * 2 + 1], 1.0f, 1e-5);
    EXPECT_NEAR(positions[3 * 2 + 2], 0.0f, 1e-5);
}

TEST_F(Posing, MissingFramesFallBackToTheBindPose) {
    // The loader refuses files without frames, but an animation left without them is still safe.
    tkm_fixture::animation_ptr none = load_swing(1);
    ASSERT_EQ(code, 0);
    none->num_frames = 0;
    pose_mesh_in_frame(mesh.get(), none.get(), 0, nullptr);
    expect_vertex(2, 2, 0, 0);
    tkm_fixture::animation_ptr swing = load_swing(3);
    pose_mesh_in_frame(mesh.get(), swing.get(), 3, nullptr); // out of range: never read
    expect_vertex(0, 3, 0, 0);
    pose_mesh_in_frame(mesh.get(), swing.get(), -1, nullptr);
    expect_vertex(0, 3, 0, 0);
    pose_mesh_in_frame(mesh.get(), nullptr, 0, nullptr);
    expect_vertex(3, 2, 1, 1);
}

} // namespace
