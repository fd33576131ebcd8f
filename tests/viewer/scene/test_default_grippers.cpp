// SPDX-License-Identifier: MIT
// Default grippers and grips, and the classes they give converted models.
#include "viewer/ms3d/ms3d_test.h"

#include <cstring>

#include "viewer/scene/default_grippers.h"
#include "viewer/math/math3d.h"

namespace fx = ms3d_fixture;

namespace {

struct expected_gripper {
    const char *name;
    uint16_t bone;
    float column0[3];
    float position[3];
};

void expect_grippers(const tkm_mesh &mesh, const std::vector<expected_gripper> &expected) {
    ASSERT_EQ(mesh.num_grippers, expected.size());
    for (size_t k = 0; k < expected.size(); k++) {
        const gripper &g = mesh.grippers[k];
        EXPECT_STREQ(g.name, expected[k].name);
        EXPECT_EQ(g.bone, expected[k].bone);
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(g.local[i], expected[k].column0[i]);
            EXPECT_EQ(g.local[12 + i], expected[k].position[i]);
        }
        EXPECT_EQ(g.local[3], 0.0f);
        EXPECT_EQ(g.local[7], 0.0f);
        EXPECT_EQ(g.local[11], 0.0f);
        EXPECT_EQ(g.local[15], 1.0f);
    }
}

TEST(default_grippers, officer) {
    conversion c = convert_fixture(fx::chain_model(52));
    ASSERT_EQ(c.result, 0) << c.err;
    expect_grippers(
        *c.mesh,
        {{"Grip1",
          28,
          {0.9860468f, 0.10014942f, 0.13296063f},
          {2.4519584f, 0.9726911f, 1.6736209f}},
         {"Grip2", 9, {0.8577861f, 0.4590601f, 0.2312851f}, {4.1803484f, 1.8175923f, -3.0075855f}},
         {"Grip3",
          1,
          {-0.67457247f, -0.3112841f, 0.66936886f},
          {5.5494266f, 10.0170145f, 2.2666402f}}});
    EXPECT_EQ(c.mesh->grippers[0].local[4], -0.12557091f);
    EXPECT_EQ(c.mesh->grippers[0].local[10], -0.06315734f);
    EXPECT_EQ(c.mesh->num_grips, 0);
    EXPECT_EQ(c.mesh->grips, nullptr);
    EXPECT_STREQ(c.mesh->class_name, "officer");
    EXPECT_EQ(c.out.rfind("Making gripper 'Grip1' with bone 28 at ( 2.4520,  0.9727,  1.6736)\n"
                          "Making gripper 'Grip2' with bone 9 at ( 4.1803,  1.8176, -3.0076)\n"
                          "Making gripper 'Grip3' with bone 1 at ( 5.5494,  10.0170,  2.2666)\n",
                          0),
              0u)
        << c.out;
}

TEST(default_grippers, male_and_female_are_always_badguys) {
    conversion male = convert_fixture(fx::chain_model(37));
    ASSERT_EQ(male.result, 0) << male.err;
    expect_grippers(*male.mesh, {{"Grip1",
                                  22,
                                  {0.98796475f, 0.13845283f, 0.06895042f},
                                  {2.6980512f, 0.59360665f, 1.1875756f}},
                                 {"Grip2",
                                  12,
                                  {0.9623078f, 0.21610184f, 0.16514377f},
                                  {4.395756f, 0.8781933f, -2.9717302f}},
                                 {"Grip3",
                                  1,
                                  {0.6159632f, -0.44562003f, 0.64956987f},
                                  {-23.713556f, 12.538653f, 12.36164f}}});
    EXPECT_STREQ(male.mesh->class_name, "male badguy");

    conversion female = convert_fixture(fx::chain_model(34));
    ASSERT_EQ(female.result, 0) << female.err;
    expect_grippers(*female.mesh, {{"Grip1",
                                    19,
                                    {-0.821533f, 0.56783813f, -0.05136363f},
                                    {-49.10754f, 18.07576f, -1.6379219f}},
                                   {"Grip2",
                                    9,
                                    {0.48565727f, -0.81001735f, -0.32857725f},
                                    {-48.132977f, 17.921486f, 4.7714386f}},
                                   {"Grip3",
                                    1,
                                    {-0.6838444f, -0.24829939f, -0.6860787f},
                                    {5.451717f, 7.3423047f, 2.2608554f}}});
    EXPECT_EQ(female.mesh->grippers[2].local[9], -0.93868726f);
    EXPECT_STREQ(female.mesh->class_name, "female badguy");
    EXPECT_EQ(count_of(female.out, "Making gripper"), 3);
}

TEST(default_grippers, children_get_nothing_and_say_nothing) {
    conversion c = convert_fixture(fx::chain_model(40));
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(c.mesh->num_grippers, 0);
    EXPECT_EQ(c.mesh->num_grips, 0);
    EXPECT_STREQ(c.mesh->class_name, "child");
    EXPECT_EQ(c.out.find("gripper"), std::string::npos);
    EXPECT_EQ(c.out.find("Don't know"), std::string::npos);
}

TEST(default_grippers, weapons_get_two_grips_turned_from_the_root_bone) {
    fx::model m = fx::chain_model(2);
    m.joints[0].position[0] = 3;
    m.joints[0].position[1] = -2;
    m.joints[0].rotation[0] = 20;
    m.joints[0].rotation[2] = -45;
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const tkm_mesh &mesh = *c.mesh;
    ASSERT_EQ(mesh.num_grips, 2);
    EXPECT_EQ(mesh.num_grippers, 0);
    EXPECT_STREQ(mesh.class_name, "weapon");
    const float turn[16] = {0, 0, 1, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 0, 1};
    float expected[16];
    mat4_multiply(expected, turn, mesh.bones[0].local);
    const char *names[] = {"Grip1", "Grip3"};
    for (int k = 0; k < 2; k++) {
        EXPECT_STREQ(mesh.grips[k].name, names[k]);
        EXPECT_EQ(mesh.grips[k].bone, 0);
        for (int i = 0; i < 16; i++)
            EXPECT_EQ(mesh.grips[k].local[i], expected[i]);
    }
    // The turn is -90 degrees about y: x goes to z's place and z to minus x.
    EXPECT_NEAR(mesh.grips[0].local[12], -mesh.bones[0].local[14], 1e-6f);
    EXPECT_NEAR(mesh.grips[0].local[14], mesh.bones[0].local[12], 1e-6f);
    // The message comes before the placement is computed.
    EXPECT_NE(c.out.find("Making gripper 'Grip1' with bone 0 at ( 0.0000,  0.0000,  0.0000)\n"
                         "Making gripper 'Grip3' with bone 0 at ( 0.0000,  0.0000,  0.0000)\n"),
              std::string::npos);
}

TEST(default_grippers, other_counts_say_so_once) {
    conversion c = convert_fixture(fx::chain_model(36));
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(
        count_of(c.out, "Don't know how to make grippers for this model.  Sucks to be you.\n"), 1);
    EXPECT_EQ(c.mesh->num_grips + c.mesh->num_grippers, 0);
    EXPECT_STREQ(c.mesh->class_name, "unknown");
}

TEST(make_gripper, names_are_stored_with_length_six) {
    for (auto maker :
         {make_officer_gripper, make_male_gripper, make_female_gripper, make_weapon_grip}) {
        gripper g{};
        testing::internal::CaptureStdout();
        ASSERT_EQ(maker(&g, 1), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(g.name_length, 6);
        EXPECT_EQ(std::strlen(g.name), 5u);
        EXPECT_EQ(g.name[5], 0);
        EXPECT_EQ(g.name[6], 0);
        cleanup_one(g.name);
    }
}

TEST(make_gripper, makers_refuse_rows_beyond_their_tables) {
    gripper g{};
    EXPECT_EQ(make_officer_gripper(&g, 3), 1);
    EXPECT_EQ(make_male_gripper(&g, 7), 1);
    EXPECT_EQ(make_female_gripper(&g, 3), 1);
    EXPECT_EQ(make_weapon_grip(&g, 2), 1);
    EXPECT_EQ(g.name, nullptr) << "nothing is made";
}

TEST(make_gripper, without_placement_is_the_identity) {
    gripper g{};
    g.local[5] = 9;
    testing::internal::CaptureStdout();
    ASSERT_EQ(make_gripper(&g, "Grip2", 7, nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Making gripper 'Grip2' with bone 7 at ( 0.0000,  0.0000,  0.0000)\n");
    float identity[16];
    mat4_identity(identity);
    EXPECT_EQ(std::memcmp(g.local, identity, sizeof identity), 0);
    EXPECT_EQ(g.bone, 7);
    cleanup_one(g.name);
}

} // namespace
