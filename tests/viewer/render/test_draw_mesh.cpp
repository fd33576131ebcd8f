// SPDX-License-Identifier: MIT
// The mesh pass read back from the real window: materials, white materials, textures, hit-region
// colours, the wire view, culling, hidden and marker runs, normals and the camera.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "common/temp_dir.h"
#include "render_test.h"
#include "scene_builder.h"
#include "viewer/math/math3d.h"
#include "viewer/textures/texture_loading.h"

namespace {

using gl_fixture::near;
using scene::at;
using scene::is_clear;

// Clockwise on screen, so a front face: it covers (0, 0) and (+-1.5, -1).
const scene::vec3 left = {-3, -2, 0}, top = {0, 3, 0}, right = {3, -2, 0};

scene::material_desc coloured() {
    scene::material_desc m;
    m.ambient = {0.25f, 0.125f, 0.0f, 1.0f}; // lit twice: global and light ambient
    m.emission = {0.0f, 0.0f, 0.5f, 1.0f};
    m.diffuse = {1.0f, 1.0f, 1.0f, 1.0f}; // the normal faces away from the light: no diffuse
    return m;
}

void show(const scene::builder &b) {
    app_state.mesh = b.build();
    draw_scene();
}

TEST_F(scene_test, materials_give_their_own_colours_with_textures_off) {
    app_state.show_textures = app_state.white_materials = 0;
    scene::builder b;
    b.run(coloured(), b.triangle(left, top, right));
    show(b);
    EXPECT_RGB(at(0, 0), 128, 64, 128);
    EXPECT_TRUE(is_clear(at(0, 3.5f))) << "outside the triangle";
}

TEST_F(scene_test, white_materials_are_white_and_keep_the_opacity) {
    scene::builder b;
    scene::material_desc opaque = coloured(), half = coloured();
    half.opacity = 0.5f;
    b.run(opaque, b.triangle(left, top, right));
    b.run(half, b.triangle({-3, -4, 0}, {-3, -2.5f, 0}, {3, -4, 0}));
    show(b);
    EXPECT_RGB(at(0, 0), 255, 255, 255);
    // Half-transparent white over the clear colour (0.2, 0, 0).
    EXPECT_RGB(at(-2.5f, -3.5f), 153, 128, 128);
}

class textured_scene : public scene_test {
  protected:
    // A texture whose left half is red and right half green, loaded as the mesh's texture 0.
    void give_texture(tkm_mesh *mesh) {
        auto halves = [](int x, int) {
            return x < 4 ? test_images::colour{255, 0, 0} : test_images::colour{0, 255, 0};
        };
        write_all(files / "skin.bmp", test_images::bmp(8, 8, halves));
        uint32_t slot = 0;
        ASSERT_EQ(load_image_texture(&slot, (files / "skin.bmp").c_str()), 0);
        mesh->gl_textures.num_textures = 1;
        mesh->gl_textures.textures = alloc_elements<uint32_t>(1);
        mesh->gl_textures.loaded = alloc_elements<uint32_t>(1);
        mesh->gl_textures.textures[0] = slot;
        mesh->gl_textures.loaded[0] = 1;
    }
    // The textured triangle: u runs 0, 0.5, 1 from left to right.
    tkm_mesh *textured_mesh(bool hidden = false) {
        scene::builder b;
        b.textures = {"skin.bmp"};
        scene::material_desc m = coloured();
        m.texture = 0;
        b.run(m, b.triangle(left, top, right, {0, 0, 0}, {0.0f, 0.5f, 1.0f}));
        tkm_mesh *mesh = b.build();
        mesh->texture_names[0].hidden = hidden ? 1 : 0;
        give_texture(mesh);
        return mesh;
    }
    temp_dir files;
};

TEST_F(textured_scene, textures_replace_the_colour_in_decal_mode) {
    app_state.mesh = textured_mesh();
    draw_scene();
    EXPECT_RGB(at(-1.5f, -1), 255, 0, 0);
    EXPECT_RGB(at(1.5f, -1), 0, 255, 0);
}

TEST_F(textured_scene, with_textures_off_the_run_shows_its_material) {
    app_state.mesh = textured_mesh();
    app_state.show_textures = app_state.white_materials = 0;
    draw_scene();
    EXPECT_RGB(at(-1.5f, -1), 128, 64, 128);
    EXPECT_RGB(at(1.5f, -1), 128, 64, 128);
}

TEST_F(textured_scene, a_run_whose_texture_is_hidden_draws_nothing) {
    app_state.mesh = textured_mesh(true);
    draw_scene();
    EXPECT_TRUE(is_clear(at(-1.5f, -1)));
    EXPECT_TRUE(is_clear(at(0, 0)));
}

TEST_F(textured_scene, an_untextured_run_after_a_textured_one_is_not_painted_with_the_texture) {
    scene::builder b;
    b.textures = {"skin.bmp"};
    scene::material_desc textured = coloured();
    textured.texture = 0;
    b.run(textured, b.triangle(left, top, right, {0, 0, 0}, {0.0f, 0.5f, 1.0f}));
    b.run(coloured(), b.triangle({-3, -4, 0}, {-3, -2.5f, 0}, {3, -4, 0}));
    app_state.mesh = b.build();
    give_texture(app_state.mesh);
    app_state.show_normals = 1;
    draw_scene();
    EXPECT_RGB(at(-2.5f, -3.5f), 255, 255, 255) << "white material, no texture";
}

TEST_F(scene_test, marker_materials_are_never_drawn) {
    for (const char *name : {"MUZZLE", "muzzle", "FlashLight", "FLASHLIGHT"}) {
        scene::builder b;
        scene::material_desc m = coloured();
        m.name = name;
        b.run(m, b.triangle(left, top, right));
        release_mesh(app_state.mesh);
        show(b);
        EXPECT_TRUE(is_clear(at(0, 0))) << name;
    }
}

TEST(is_marker_material, names_in_any_case_and_missing_names) {
    tkm_material m{};
    EXPECT_EQ(is_marker_material(nullptr), 0);
    EXPECT_EQ(is_marker_material(&m), 0);
    char empty[] = "";
    m.name = empty;
    EXPECT_EQ(is_marker_material(&m), 0);
    char flashlight[] = "flashLIGHT", muzzle[] = "Muzzle", other[] = "MUZZLE2";
    m.name = flashlight;
    m.name_length = 10;
    EXPECT_EQ(is_marker_material(&m), 1);
    m.name = muzzle;
    m.name_length = 6;
    EXPECT_EQ(is_marker_material(&m), 2);
    m.name = other;
    m.name_length = 7;
    EXPECT_EQ(is_marker_material(&m), 0);
}

TEST_F(scene_test, hit_regions_show_the_last_corners_colour_unlit) {
    app_state.show_hit_detection = 1;
    glDisable(GL_LIGHTING); // as the "Hit detect" box does
    scene::builder b;
    // red 31, green 16, blue 1 on the last corner; the others differ
    const uint16_t last = (31 << 10) | (16 << 5) | 1;
    b.run(coloured(), b.triangle(left, top, right, {0x7FFF, 0x1234, last}));
    show(b);
    EXPECT_RGB_WITHIN(at(0, 0), 248, 128, 8, 0);
    EXPECT_RGB_WITHIN(at(-2, -1.5f), 248, 128, 8, 0) << "flat: one colour for the triangle";
}

TEST(hit_colour, channels_are_five_bits_times_eight) {
    // Needs no window: the current colour is GL state, but without a context glGet gives nothing,
    // so compare against the formula only where a context exists.
    if (!gl_fixture::open_window()) GTEST_SKIP();
    float colour[4];
    hit_colour(0xFFFF); // bit 15 is ignored
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 248.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], 248.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 248.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[3], 1.0f);
    hit_colour((1 << 10) | (2 << 5) | 3);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 8.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[1], 16.0f / 255.0f);
    EXPECT_FLOAT_EQ(colour[2], 24.0f / 255.0f);
}

TEST_F(scene_test, the_wire_view_shows_two_edges_per_triangle) {
    app_state.mesh_primitive = GL_LINE_STRIP;
    scene::builder b;
    b.run(coloured(), b.triangle(left, top, right));
    show(b);
    auto lit_near = [](float x, float y) {
        scene::pixel p = scene::pixel_of(x, y);
        for (int dx = -2; dx <= 2; dx++)
            for (int dy = -2; dy <= 2; dy++)
                if (near(gl_fixture::read_pixel(p.x + dx, p.y + dy), 255, 255, 255, 40))
                    return true;
        return false;
    };
    EXPECT_TRUE(lit_near(-1.5f, 0.5f)) << "first to second corner";
    EXPECT_TRUE(lit_near(1.5f, 0.5f)) << "second to third corner";
    EXPECT_FALSE(lit_near(0, -2)) << "no edge back to the first corner";
    EXPECT_TRUE(is_clear(at(0, 0))) << "nothing filled";
}

TEST_F(scene_test, back_faces_are_culled) {
    scene::builder b;
    b.run(coloured(), b.triangle(left, right, top)); // counter-clockwise on screen
    show(b);
    EXPECT_TRUE(is_clear(at(0, 0)));
}

TEST_F(scene_test, the_camera_turn_shows_the_model_from_behind) {
    scene::builder b;
    b.run(coloured(), b.triangle(left, top, right));
    app_state.mesh = b.build();
    draw_scene();
    EXPECT_FALSE(is_clear(at(0, 0)));
    quat_rotate_xyz(app_state.camera_orientation, 180.0f, 0, 1, 0);
    draw_scene();
    EXPECT_TRUE(is_clear(at(0, 0))) << "turned round, the front face becomes a back face";
    quat_rotate_xyz(app_state.camera_orientation, 180.0f, 0, 1, 0);
    app_state.camera_x = 20.0f; // moves the model far off to the right
    draw_scene();
    EXPECT_TRUE(is_clear(at(0, 0)));
}

TEST_F(scene_test, a_camera_orientation_a_hair_past_unit_length_still_draws) {
    scene::builder b;
    b.run(coloured(), b.triangle(left, top, right));
    app_state.mesh = b.build();
    app_state.camera_orientation[3] = std::nextafter(1.0f, 2.0f);
    draw_scene();
    EXPECT_RGB(at(0, 0), 255, 255, 255);
}

TEST_F(scene_test, normal_lines_are_opaque_yellow) {
    // A back face whose normal points at the viewer: its line runs from the centroid (3, 0, 0)
    // one unit nearer, which the perspective spreads over some 14 pixels towards the right.
    glDisable(GL_CULL_FACE);
    app_state.show_normals = 1;
    scene::builder b;
    b.run(coloured(), b.triangle({2, -1, 0}, {4, -1, 0}, {3, 2, 0}));
    show(b);
    scene::pixel from = scene::pixel_of(3, 0), to = scene::pixel_of(3 * 10.0f / 9.0f, 0);
    EXPECT_RGB(gl_fixture::read_pixel((from.x + to.x) / 2, from.y), 255, 255, 0);
    app_state.show_normals = 0;
    draw_scene();
    EXPECT_TRUE(is_clear(gl_fixture::read_pixel((from.x + to.x) / 2, from.y)));
}

TEST_F(scene_test, a_zero_area_triangle_leaves_no_nan_in_the_normal) {
    scene::builder b;
    b.triangle(left, top, right);
    b.triangle({1, 1, 0}, {1, 1, 0}, {2, 2, 0}); // no area: no normal of its own
    b.run(coloured(), 0, 2);
    app_state.show_normals = 1;
    show(b);
    float normal[3];
    glGetFloatv(GL_CURRENT_NORMAL, normal);
    EXPECT_FLOAT_EQ(normal[0], 0.0f);
    EXPECT_FLOAT_EQ(normal[1], 0.0f);
    EXPECT_FLOAT_EQ(normal[2], -1.0f) << "the previous triangle's normal stays";
    EXPECT_RGB(at(0, 0), 255, 255, 255);
}

TEST_F(scene_test, blend_vertices_are_placed_by_their_weights) {
    scene::builder b;
    b.triangle(left, top, right);
    b.run(coloured(), 0);
    tkm_mesh *mesh = b.build();
    // Corner 1 (the top) now names blend 0: half of vertex 0 and half of vertex 2, (0, -2).
    mesh->num_blends = 1;
    mesh->blends = alloc_elements<blend_vertex>(1);
    mesh->blends[0].count = 2;
    mesh->blends[0].vertices = alloc_elements<uint16_t>(2);
    mesh->blends[0].weights = alloc_elements<float>(2);
    mesh->blends[0].vertices[0] = 0;
    mesh->blends[0].vertices[1] = 2;
    mesh->blends[0].weights[0] = mesh->blends[0].weights[1] = 0.5f;
    mesh->corners[1].vertex = mesh->num_vertices;
    app_state.mesh = mesh;
    draw_scene();
    EXPECT_TRUE(is_clear(at(0, 0))) << "the triangle has collapsed onto its base";
}

TEST_F(scene_test, without_show_mesh_no_triangle_is_drawn) {
    app_state.show_mesh = 0;
    scene::builder b;
    b.run(coloured(), b.triangle(left, top, right));
    show(b);
    EXPECT_TRUE(is_clear(at(0, 0)));
}

TEST_F(scene_test, damaged_indices_are_skipped_instead_of_read) {
    scene::builder b;
    b.triangle(left, top, right);
    b.run(coloured(), 0, 40);    // runs past the last triangle
    b.runs.push_back({9, 0, 1}); // names no material
    tkm_mesh *mesh = b.build();
    mesh->materials[0].texture_refs = alloc_elements<texture_ref>(1);
    mesh->materials[0].num_texture_refs = 1;
    mesh->materials[0].texture_refs[0].texture = 7; // no such texture name
    app_state.mesh = mesh;
    draw_scene();
    EXPECT_RGB(at(0, 0), 255, 255, 255);
    mesh->triangles[0].corners[2] = 200; // no such corner
    note_model_change();                 // as whatever edits a model in place announces it
    draw_scene();
    EXPECT_TRUE(is_clear(at(0, 0)));
}

} // namespace
