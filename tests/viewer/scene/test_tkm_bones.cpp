// SPDX-License-Identifier: MIT
// The bone step: joints to bones, parents by name, reference skeletons, refused skeletons.
#include "viewer/ms3d/ms3d_test.h"

#include <array>
#include <cmath>
#include <cstring>

#include "viewer/scene/reference_skeletons.h"
#include "viewer/math/math3d.h"
#include "viewer/ms3d/ms3d_scene.h"

namespace fx = ms3d_fixture;

namespace {

constexpr uint16_t root = 0xFFFF;

const std::vector<uint16_t> parents_52 = {root, 0,  1,  2,  3,  4,  4,  6,  7,  8,  9,  10, 11,
                                          9,    13, 14, 9,  16, 17, 9,  19, 20, 9,  22, 23, 4,
                                          25,   26, 27, 28, 29, 30, 28, 32, 33, 28, 35, 36, 28,
                                          38,   39, 28, 41, 42, 0,  44, 45, 46, 0,  48, 49, 50};
const std::vector<uint16_t> parents_40 = {root, 0,  1,  2,  3,  4,  5,  6,  7, 5,  9,  10, 4,  12,
                                          13,   14, 15, 16, 15, 18, 15, 20, 4, 22, 23, 24, 25, 26,
                                          25,   28, 25, 30, 0,  32, 33, 34, 0, 36, 37, 38};
const std::vector<uint16_t> parents_37 = {root, 0,  1,  2,  3,  4,  5,  6,  7,  4,  9,  10, 11,
                                          12,   13, 12, 15, 12, 17, 4,  19, 20, 21, 22, 23, 22,
                                          25,   22, 27, 0,  29, 30, 31, 0,  33, 34, 35};
const std::vector<uint16_t> parents_34 = {root, 0,  1, 2,  3,  4,  4,  6,  7,  8,  9,  10,
                                          9,    12, 9, 14, 4,  16, 17, 18, 19, 20, 19, 22,
                                          19,   24, 0, 26, 27, 28, 0,  30, 31, 32};

void expect_row(const reference_row &row, uint16_t parent, std::vector<float> position,
                std::vector<float> rotation) {
    EXPECT_EQ(row.parent, parent);
    for (int k = 0; k < 3; k++)
        EXPECT_EQ(row.position[k], position[size_t(k)]);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(row.rotation[k], rotation[size_t(k)]);
}

bool rows_equal(const reference_row &a, const reference_row &b) {
    return a.parent == b.parent && std::memcmp(a.position, b.position, sizeof a.position) == 0 &&
           std::memcmp(a.rotation, b.rotation, sizeof a.rotation) == 0;
}

// World positions of a reference skeleton's joints.
std::vector<std::array<float, 3>> world_positions(const reference_skeleton &s) {
    std::vector<std::array<float, 16>> world(s.num_rows);
    std::vector<std::array<float, 3>> out(s.num_rows);
    for (uint16_t i = 0; i < s.num_rows; i++) {
        float local[16];
        quat_to_mat4(local, s.rows[i].rotation);
        std::memcpy(&local[12], s.rows[i].position, 12);
        if (s.rows[i].parent == root)
            std::memcpy(world[i].data(), local, sizeof local);
        else
            mat4_multiply(world[i].data(), world[s.rows[i].parent].data(), local);
        out[i] = {world[i][12], world[i][13], world[i][14]};
    }
    return out;
}

TEST(reference_skeletons, row_counts_parents_and_fixed_rows) {
    const std::pair<uint16_t, const std::vector<uint16_t> *> tables[] = {
        {52, &parents_52}, {40, &parents_40}, {37, &parents_37}, {34, &parents_34}};
    for (auto [count, parents] : tables) {
        const reference_skeleton *s = find_reference_skeleton(count);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(s->num_rows, count);
        for (uint16_t i = 0; i < count; i++) {
            EXPECT_EQ(s->rows[i].parent, (*parents)[i]) << count << " row " << i;
            const float *q = s->rows[i].rotation;
            EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3], 1.0f, 1e-5f);
        }
    }
    for (uint16_t count : {0, 1, 2, 33, 36, 53})
        EXPECT_EQ(find_reference_skeleton(count), nullptr);

    const reference_skeleton &officer = *find_reference_skeleton(52);
    const std::vector<float> adult_turn = {-0.49999407f, -0.49999693f, 0.5000315f, -0.49997744f};
    expect_row(officer.rows[0], root, {0.0064568203f, 37.327816f, -0.84585494f}, adult_turn);
    expect_row(officer.rows[1], 0, {2.8129585f, -0.0039968863f, 5.5562814e-06f},
               {2.0905034e-06f, 6.8088036e-07f, 0.025778987f, 0.99966764f});
    expect_row(officer.rows[9], 8, {10.43666f, -6.1485975e-06f, 8.161743e-06f},
               {0.9965632f, 0.08276422f, -8.25883e-05f, 0.003443346f});
    expect_row(officer.rows[47], 46, {4.4679675f, 3.388316f, 1.9978086e-06f},
               {1.2683313e-07f, -2.0408474e-07f, -0.70710677f, 0.70710677f});
    expect_row(find_reference_skeleton(40)->rows[0], root, {0.007259307f, 23.764648f, -0.8451588f},
               adult_turn);
    expect_row(find_reference_skeleton(34)->rows[0], root, {0, 0, -8.271806e-25f}, {0, 0, 0, 1});

    const reference_skeleton &male = *find_reference_skeleton(37);
    EXPECT_TRUE(rows_equal(male.rows[0], officer.rows[0]));
    EXPECT_TRUE(rows_equal(male.rows[1], officer.rows[1]));
    for (int k = 0; k < 8; k++) {
        EXPECT_EQ(male.rows[29 + k].position[0], officer.rows[44 + k].position[0]);
        EXPECT_EQ(std::memcmp(male.rows[29 + k].rotation, officer.rows[44 + k].rotation, 16), 0);
        EXPECT_EQ(std::memcmp(male.rows[29 + k].position, officer.rows[44 + k].position, 12), 0);
    }
}

// The laid-out rows must make a standing figure: feet on the floor below the hips, the head on
// top, the hands out at the sides, left and right mirrored, and no bone absurdly long.
TEST(reference_skeletons, every_table_is_a_standing_humanoid) {
    struct body {
        uint16_t count;
        int head, left_hand, right_hand, left_foot_end, right_foot_end, left_hip, right_hip;
    };
    const body bodies[] = {{52, 5, 9, 28, 47, 51, 44, 48},
                           {40, 8, 15, 25, 35, 39, 32, 36},
                           {37, 8, 12, 22, 32, 36, 29, 33},
                           {34, 5, 9, 19, 29, 33, 26, 30}};
    for (const body &b : bodies) {
        const reference_skeleton &s = *find_reference_skeleton(b.count);
        const auto p = world_positions(s);
        SCOPED_TRACE(b.count);
        for (int foot : {b.left_foot_end, b.right_foot_end}) {
            EXPECT_GT(p[size_t(foot)][1], -0.5f);
            EXPECT_LT(p[size_t(foot)][1], 2.0f);
        }
        EXPECT_GT(p[size_t(b.left_hip)][1], 20.0f);
        EXPECT_GT(p[size_t(b.head)][1], p[size_t(b.left_hand)][1]);
        EXPECT_GT(p[size_t(b.left_hand)][0], 15.0f);
        EXPECT_LT(p[size_t(b.right_hand)][0], -15.0f);
        EXPECT_NEAR(p[size_t(b.left_hand)][0], -p[size_t(b.right_hand)][0], 0.01f);
        EXPECT_NEAR(p[size_t(b.left_hip)][1], p[size_t(b.right_hip)][1], 0.01f);
        for (uint16_t i = 1; i < b.count; i++) {
            const float *d = s.rows[i].position;
            const float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
            EXPECT_LT(length, 40.0f) << i;
            EXPECT_GT(length, 0.3f) << i;
        }
    }
}

fx::model joints_model(std::vector<fx::joint> joints) {
    fx::model m;
    m.joints = std::move(joints);
    return m;
}

fx::joint make_joint(std::string name, std::string parent, std::vector<float> rotation = {0, 0, 0},
                     std::vector<float> position = {0, 0, 0}) {
    fx::joint j;
    j.name = std::move(name);
    j.parent = std::move(parent);
    for (int k = 0; k < 3; k++) {
        j.rotation[k] = rotation[size_t(k)];
        j.position[k] = position[size_t(k)];
    }
    return j;
}

TEST(convert_bones, reference_skeleton_overrides_all_but_the_names) {
    fx::model m = fx::chain_model(52);
    for (size_t i = 0; i < m.joints.size(); i++) {
        m.joints[i].name = "bone_" + std::to_string(i);
        m.joints[i].parent = i ? "bone_0" : ""; // a flat skeleton, which the table replaces
        m.joints[i].rotation[1] = 33;
        m.joints[i].position[2] = 7;
    }
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const reference_skeleton &s = *find_reference_skeleton(52);
    const tkm_mesh &mesh = *c.mesh;
    for (uint16_t i = 0; i < 52; i++) {
        const tkm_bone &b = mesh.bones[i];
        EXPECT_EQ(std::string(b.name), "bone_" + std::to_string(i));
        EXPECT_EQ(b.parent, s.rows[i].parent);
        EXPECT_EQ(std::memcmp(b.position, s.rows[i].position, 12), 0);
        EXPECT_EQ(std::memcmp(b.rotation, s.rows[i].rotation, 16), 0);
        float local[16];
        quat_to_mat4(local, s.rows[i].rotation);
        std::memcpy(&local[12], s.rows[i].position, 12);
        EXPECT_EQ(std::memcmp(b.local, local, sizeof local), 0) << i;
        float world[16];
        if (b.parent == root)
            std::memcpy(world, local, sizeof world);
        else
            mat4_multiply(world, mesh.bones[b.parent].world, local);
        EXPECT_EQ(std::memcmp(b.world, world, sizeof world), 0) << i;
    }
    EXPECT_EQ(c.err.find("Unknown number of bones"), std::string::npos);
}

TEST(convert_bones, two_joints_follow_their_names) {
    fx::model m = joints_model({make_joint("base", "", {0, 0, 0}, {1, 2, 3}),
                                make_joint("tip", "base", {0, 0, 1.5707964f}, {4, 0, 0})});
    model_ptr model = read_fixture(m);
    scene_model scene;
    ASSERT_EQ(ms3d_to_scene(model.get(), &scene), 0);
    mesh_ptr mesh(create_mesh());
    testing::internal::CaptureStdout();
    ASSERT_EQ(convert_bones(mesh.get(), &scene), 0);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(mesh->num_bones, 2);
    const tkm_bone &base = mesh->bones[0];
    const tkm_bone &tip = mesh->bones[1];
    EXPECT_EQ(base.parent, root);
    EXPECT_EQ(tip.parent, 0);
    EXPECT_STREQ(tip.name, "tip");
    EXPECT_EQ(tip.name_length, 3);
    float expected[16];
    mat4_identity(expected);
    expected[12] = 1, expected[13] = 2, expected[14] = 3;
    for (int k = 0; k < 16; k++) {
        EXPECT_EQ(base.local[k], expected[k]) << k; // -0 and 0 are the same here
        EXPECT_EQ(base.world[k], expected[k]) << k;
    }
    // The angles are radians and the third turns about z: (1, 0, 0) becomes (0, 1, 0).
    float point[3] = {1, 0, 0};
    mat4_rotate_vector(point, point, tip.local);
    EXPECT_NEAR(point[0], 0, 1e-6f);
    EXPECT_NEAR(point[1], 1, 1e-6f);
    float world[16];
    mat4_multiply(world, base.world, tip.local);
    EXPECT_EQ(std::memcmp(tip.world, world, sizeof world), 0);
}

TEST(convert_bones, unmatched_parent_names_make_roots) {
    fx::model m = joints_model({make_joint("Hip", ""), make_joint("leg", "hip"),
                                make_joint("foot", "leg"), make_joint("toe", "nothing")});
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << "a model without vertices converts";
    ASSERT_EQ(c.mesh->num_bones, 4);
    EXPECT_EQ(c.mesh->bones[1].parent, root) << "names are compared with case";
    EXPECT_EQ(c.mesh->bones[2].parent, 1);
    EXPECT_EQ(c.mesh->bones[3].parent, root);
    EXPECT_EQ(count_of(c.err, "Unknown number of bones (4): Model probably won't work in SWAT!\n"),
              4);
}

TEST(convert_bones, unknown_counts_warn_once_per_bone_and_keep_their_pose) {
    fx::model m = fx::chain_model(5);
    m.joints[2].rotation[0] = 30;
    m.joints[2].rotation[1] = -70;
    m.joints[2].rotation[2] = 125;
    m.joints[3].rotation[0] = 180;
    m.joints[4].rotation[1] = 90;
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(count_of(c.err, "Unknown number of bones (5): Model probably won't work in SWAT!\n"),
              5);
    EXPECT_EQ(
        count_of(c.out, "Don't know how to make grippers for this model.  Sucks to be you.\n"), 1);
    // What a saved mesh keeps (position and rotation) gives the same local matrix back.
    for (uint16_t i = 0; i < 5; i++) {
        const tkm_bone &b = c.mesh->bones[i];
        float local[16];
        quat_to_mat4(local, b.rotation);
        std::memcpy(&local[12], b.position, 12);
        for (int k = 0; k < 16; k++)
            EXPECT_NEAR(local[k], b.local[k], 2e-6f) << "bone " << i << " element " << k;
    }
}

TEST(convert_bones, refuses_parents_that_are_not_earlier_joints) {
    conversion self = convert_fixture(joints_model({make_joint("a", ""), make_joint("b", "b")}));
    EXPECT_EQ(self.result, tkm_build_failed_bones);
    EXPECT_NE(self.err.find("Joint 'b' has itself or a later joint as its parent."),
              std::string::npos);
    conversion later = convert_fixture(joints_model({make_joint("a", "b"), make_joint("b", "")}));
    EXPECT_EQ(later.result, tkm_build_failed_bones);
    EXPECT_NE(later.err.find("Joint 'a' has itself or a later joint as its parent."),
              std::string::npos);
}

TEST(convert_bones, refuses_names_without_an_end) {
    const std::string full(32, 'x');
    conversion name = convert_fixture(joints_model({make_joint(full, "")}));
    EXPECT_EQ(name.result, tkm_build_failed_bones);
    EXPECT_NE(name.err.find("Joint 0 has a name longer than its field."), std::string::npos);
    conversion parent = convert_fixture(joints_model({make_joint("a", ""), make_joint("b", full)}));
    EXPECT_EQ(parent.result, tkm_build_failed_bones);
}

// A TKM file cannot hold an empty bone name: such a model could be shown but never saved.
TEST(convert_bones, refuses_joints_without_a_name) {
    conversion c = convert_fixture(joints_model({make_joint("a", ""), make_joint("", "a")}));
    EXPECT_EQ(c.result, tkm_build_failed_bones);
    EXPECT_NE(c.err.find("Joint 1 has no name.  Can't use this model!\n"), std::string::npos)
        << c.err;
}

TEST(find_parent_joint, by_exact_name_first_match) {
    model_ptr m = read_fixture(joints_model(
        {make_joint("a", ""), make_joint("b", "a"), make_joint("a", "b"), make_joint("c", "a")}));
    EXPECT_EQ(find_parent_joint(m.get(), 0), -1);
    EXPECT_EQ(find_parent_joint(m.get(), 1), 0);
    EXPECT_EQ(find_parent_joint(m.get(), 3), 0) << "the first joint of that name";
    EXPECT_EQ(find_parent_joint(m.get(), 4), -1);
    EXPECT_EQ(find_parent_joint(m.get(), -1), -1);
}

TEST(apply_reference_bone, rows_counts_and_warnings) {
    tkm_bone bone{};
    EXPECT_EQ(apply_reference_bone(&bone, 52, 52), 1);
    EXPECT_EQ(apply_reference_bone(&bone, 3, 2), 0);
    EXPECT_EQ(bone.parent, 0) << "2 bones: nothing is copied";
    testing::internal::CaptureStderr();
    EXPECT_EQ(apply_reference_bone(&bone, 0, 36), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Unknown number of bones (36): Model probably won't work in SWAT!\n");
    EXPECT_EQ(apply_reference_bone(&bone, 33, 34), 0);
    EXPECT_EQ(bone.parent, 32);
    EXPECT_EQ(bone.local[12], bone.position[0]);
}

} // namespace
