// SPDX-License-Identifier: MIT
// Bones, links, grip and gripper markers, the frame check, the weapon's frame and the timer,
// read back from the real window.
#include <gtest/gtest.h>

#include <string>

#include "render_test.h"
#include "scene_builder.h"
#include "viewer/app/startup.h"
#include "viewer/math/math3d.h"

namespace {

using scene::at;
using scene::is_clear;

// Half-transparent yellow over anything dark: the bones' and markers' colour.
bool is_yellowish(const gl_fixture::rgb &c) {
    return c.r > 120 && c.g > 100 && c.b < 40;
}

std::array<float, 16> placed_at(float x, float y, bool along_y = false) {
    std::array<float, 16> m{};
    scene::translation(m.data(), x, y, 0);
    if (along_y) { // the marker's own z axis along the world's y, so the box shows its length
        m[5] = 0, m[6] = -1;
        m[9] = 1, m[10] = 0;
    }
    return m;
}

// Three bones: 0 at the origin, 1 at (3, 0) hanging from 0, 2 at (-3, 2) a second root.
scene::builder skeleton() {
    scene::builder b;
    b.bones = {{{0, 0, 0}, no_parent}, {{3, 0, 0}, 0}, {{-3, 2, 0}, no_parent}};
    return b;
}

TEST_F(scene_test, bones_are_points_joined_to_their_parents) {
    app_state.show_bones = 1;
    app_state.mesh = skeleton().build();
    draw_scene();
    // Yellow, alpha 0.5, over the clear colour; where a link ends on a point it blends twice.
    EXPECT_RGB(at(-3, 2), 153, 128, 0);   // bone 2, a root without links
    EXPECT_RGB(at(0, 0), 204, 192, 0);    // bone 0 with the end of its link
    EXPECT_RGB(at(3, 0), 204, 192, 0);    // bone 1 likewise
    EXPECT_RGB(at(1.5f, 0), 153, 128, 0); // the link from bone 0 to bone 1
    EXPECT_TRUE(is_clear(at(-1.5f, 1)));  // no link for a root
    EXPECT_TRUE(is_clear(at(1.5f, 1.5f)));
}

TEST_F(scene_test, bones_are_drawn_over_the_mesh) {
    app_state.show_bones = 1;
    scene::builder b = skeleton();
    // A white triangle nearer the eye than the bones would hide them but for the depth clear.
    b.run(scene::material_desc{}, b.triangle({-2, -2, 1}, {0, 2, 1}, {2, -2, 1}));
    app_state.mesh = b.build();
    draw_scene();
    EXPECT_RGB(at(0, 0), 255, 255, 64);
    app_state.show_bones = 0;
    draw_scene();
    EXPECT_RGB(at(0, 0), 255, 255, 255);
}

TEST_F(scene_test, without_the_mesh_only_bones_and_markers_show) {
    app_state.show_bones = 1;
    app_state.show_mesh = 0;
    scene::builder b = skeleton();
    b.run(scene::material_desc{}, b.triangle({-2, -2, 1}, {0, 2, 1}, {2, -2, 1}));
    app_state.mesh = b.build();
    draw_scene();
    EXPECT_RGB(at(0, 0), 204, 192, 0);
    EXPECT_TRUE(is_clear(at(-1, -1.5f)));
}

// Where the pistol and the box of a marker at (-6, -4) cover the window, and where they don't.
struct marker_probe {
    float pistol_x = -3, pistol_y = -2.5f; // the pistol's slide, outside the box
    float box_x = -6, box_y = -1;          // up the box, above the pistol
};

TEST_F(scene_test, grippers_ending_in_2_are_boxes_and_all_others_pistols) {
    app_state.show_bones = 1;
    const marker_probe probe;
    struct row {
        const char *name;
        bool box;
    };
    for (row r : {row{"Grip2", true}, row{"Grip1", false}, row{"Grip3", false},
                  row{"MUZZLE", false}, row{"", false}}) {
        scene::builder b = skeleton();
        b.grippers = {{r.name, placed_at(-6, -4, true), 0}};
        release_mesh(app_state.mesh);
        app_state.mesh = b.build();
        draw_scene();
        // The box stands along y through its foot; the pistol lies in x and y from its grip.
        EXPECT_EQ(is_yellowish(at(probe.box_x, probe.box_y)), r.box) << "'" << r.name << "'";
        scene::builder flat = skeleton();
        flat.grippers = {{r.name, placed_at(-6, -4), 0}};
        release_mesh(app_state.mesh);
        app_state.mesh = flat.build();
        draw_scene();
        EXPECT_EQ(is_yellowish(at(probe.pistol_x, probe.pistol_y)), !r.box) << "'" << r.name << "'";
    }
}

TEST_F(scene_test, grippers_follow_their_bone_and_grips_are_placed_inversely) {
    app_state.show_bones = 1;
    scene::builder b = skeleton();
    b.bones[1].position = {-6, -4, 0};
    b.grippers = {{"Grip1", placed_at(0, 0), 1}}; // on bone 1: at (-6, -4)
    app_state.mesh = b.build();
    draw_scene();
    EXPECT_TRUE(is_yellowish(at(-3, -2.5f)));
    EXPECT_FALSE(is_yellowish(at(-3 + 6, -2.5f + 4)));

    scene::builder weapon;
    weapon.bones = {{{0, 0, 0}, no_parent}, {{0, 0, 0}, 0}};
    weapon.grips = {{"Grip1", placed_at(6, 4), 0}}; // inverted: at (-6, -4)
    release_mesh(app_state.mesh);
    app_state.mesh = nullptr;
    app_state.weapon_mesh = weapon.build();
    draw_scene();
    EXPECT_TRUE(is_yellowish(at(-3, -2.5f)));
    EXPECT_FLOAT_EQ(app_state.weapon_mesh->grips[0].world[12], -6.0f);
    EXPECT_FLOAT_EQ(app_state.weapon_mesh->grips[0].world[13], -4.0f);
}

TEST(pose_grippers, world_is_the_frame_bone_times_local_or_its_inverse) {
    scene::builder b;
    b.bones = {{{1, 2, 3}, no_parent}};
    b.grippers = {{"Grip1", placed_at(10, 0, true), 0}};
    tkm_mesh *mesh = b.build();
    tka_animation *animation = scene::shifted_animation(mesh, 3, 100.0f);
    gripper &g = mesh->grippers[0];
    pose_grippers(1, &g, animation, 2, 0);
    EXPECT_FLOAT_EQ(g.world[12], 1 + 200 + 10);
    EXPECT_FLOAT_EQ(g.world[13], 2);
    EXPECT_FLOAT_EQ(g.world[9], 1.0f) << "the rotation is carried over";
    pose_grippers(1, &g, animation, 0, 1);
    float inverse[16];
    mat4_rigid_inverse(inverse, g.local);
    EXPECT_FLOAT_EQ(g.world[12], 1 + inverse[12]);
    EXPECT_FLOAT_EQ(g.world[6], inverse[6]);
    pose_grippers(1, &g, animation, 9, 0); // no such frame: the identity stands in
    EXPECT_FLOAT_EQ(g.world[12], 10);
    release_animation(animation);
    release_mesh(mesh);
}

TEST_F(scene_test, an_out_of_range_frame_is_reported_and_frame_0_drawn) {
    scene::builder b;
    b.name = "Hostage";
    b.run(scene::material_desc{}, b.triangle({-1, -1, 0}, {0, 1, 0}, {1, -1, 0}));
    app_state.mesh = b.build();
    app_state.animation = scene::shifted_animation(app_state.mesh, 5, 100.0f);
    app_state.current_frame = 7;
    testing::internal::CaptureStdout();
    draw_scene();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "PANIC! trying to draw Hostage frame 7 but there are only 5!\n");
    EXPECT_EQ(app_state.current_frame, 0);
    EXPECT_RGB(at(0, 0), 255, 255, 255);
}

TEST_F(scene_test, an_animation_without_frames_draws_the_bind_pose) {
    app_state.show_bones = 1;
    scene::builder b = skeleton();
    b.run(scene::material_desc{}, b.triangle({-1, -1, 1}, {0, 1, 1}, {1, -1, 1}));
    app_state.mesh = b.build();
    app_state.animation = scene::shifted_animation(app_state.mesh, 0, 1.0f);
    testing::internal::CaptureStdout();
    draw_scene();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("but there are only 0!"),
              std::string::npos);
    EXPECT_RGB(at(3, 0), 204, 192, 0) << "bone 1 in its bind place";
}

TEST_F(scene_test, the_weapon_stays_in_frame_0_while_the_character_plays) {
    scene::builder character;
    character.run(scene::material_desc{}, character.triangle({-1, 1, 0}, {0, 3, 0}, {1, 1, 0}));
    scene::builder weapon;
    weapon.run(scene::material_desc{}, weapon.triangle({-1, -3, 0}, {0, -1, 0}, {1, -3, 0}));
    app_state.mesh = character.build();
    app_state.animation = scene::shifted_animation(app_state.mesh, 5, 1.0f);
    app_state.weapon_mesh = weapon.build();
    app_state.weapon_animation = scene::shifted_animation(app_state.weapon_mesh, 5, 100.0f);
    app_state.current_frame = 3;
    draw_scene();
    EXPECT_RGB(at(0, -2), 255, 255, 255) << "the weapon in frame 0";
    EXPECT_RGB(at(3, 2), 255, 255, 255) << "the character in frame 3";
    EXPECT_TRUE(is_clear(at(0, 2)));
    EXPECT_EQ(app_state.current_frame, 3);
}

TEST_F(scene_test, the_timer_animates_what_is_shown) {
    scene::builder b;
    b.run(scene::material_desc{}, b.triangle({-1, -1, 0}, {0, 1, 0}, {1, -1, 0}));
    app_state.mesh = b.build();
    app_state.animation = scene::shifted_animation(app_state.mesh, 3, 2.5f);
    draw_scene();
    EXPECT_RGB(at(0, 0), 255, 255, 255);

    animation_timer(100); // paused: the tick changes nothing
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0);

    app_state.animation_paused = 0;
    EXPECT_EQ(animation_timer(100), 100u);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 1);
    draw_scene();
    EXPECT_TRUE(is_clear(at(0, 0)));
    EXPECT_RGB(at(2.5f, 0), 255, 255, 255);
}

TEST_F(scene_test, a_mesh_without_an_animation_is_drawn_in_its_bind_pose) {
    app_state.show_bones = 1;
    scene::builder b = skeleton();
    b.run(scene::material_desc{}, b.triangle({-1, -1, 1}, {0, 1, 1}, {1, -1, 1}));
    app_state.mesh = b.build();
    draw_scene();
    EXPECT_RGB(at(0, 0), 255, 255, 64);
    EXPECT_RGB(at(3, 0), 204, 192, 0);
}

} // namespace
