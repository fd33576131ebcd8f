// SPDX-License-Identifier: MIT
// The mesh pass from vertex arrays against the immediate drawing it replaces, read back from the
// real window: the same pixels, and the same current normal, colour and texture coordinate left
// behind, for every combination of the drawing toggles and after every change of what is drawn.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <bitset>
#include <cmath>
#include <cstring>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "render_test.h"
#include "scene_builder.h"
#include "viewer/app/posing.h"
#include "viewer/math/math3d.h"
#include "viewer/render/mesh_arrays.h"
#include "viewer/textures/texture_loading.h"

namespace {

using scene::vec3;

// ---- the scene: a character with every kind of run and triangle, and a weapon beside it

constexpr uint16_t character_frames = 4;

scene::material_desc lit(float r, float g, float b, float opacity = 1.0f) {
    scene::material_desc m;
    m.ambient = {r * 0.3f, g * 0.3f, b * 0.3f, opacity};
    m.diffuse = {r, g, b, opacity};
    m.specular = {0.2f, 0.2f, 0.2f, opacity};
    m.emission = {0.0f, 0.0f, 0.1f, opacity};
    m.opacity = opacity;
    return m;
}

scene::material_desc named(scene::material_desc m, const char *name, int texture = -1) {
    m.name = name;
    m.texture = texture;
    return m;
}

// Distinct hit colours for the corners of triangle t.
std::array<uint16_t, 3> hit_colours_of(uint16_t t) {
    std::array<uint16_t, 3> aux2{};
    for (uint16_t k = 0; k < 3; k++)
        aux2[k] = static_cast<uint16_t>((t * 7919u + k * 4733u) & 0x7FFF);
    return aux2;
}

struct character_triangles {
    uint16_t blend_corner = 0;   // the corner that names the blend vertex
    uint16_t no_vertex = 0;      // the corner that names a vertex the mesh lacks
    uint16_t broken = 0;         // the triangle with a corner the mesh lacks
    uint16_t repainted = 0;      // the first triangle the overlapping run draws again
    uint16_t textured = 0;       // the first textured triangle with an area
    std::vector<uint16_t> swung; // triangles on bone 1
};

// Runs, in order: textured, led by a zero-area triangle; one drawing part of the next again, led
// by a zero-area triangle that is inside the next; coloured, led by a zero-area triangle and
// holding another, a back face, a blend vertex, a missing vertex and a missing corner;
// half-transparent over the first; textured with the texture that gets hidden; MUZZLE;
// flashlight.
tkm_mesh *build_character(float spread = 1.0f, character_triangles *where = nullptr) {
    scene::builder b;
    b.name = "Character";
    b.textures = {"skin.bmp", "cloth.bmp"};
    b.bones = {{{0, 0, 0}, no_parent}, {{0, 0, 0}, 0}};
    character_triangles at;
    auto tri = [&](vec3 p, vec3 q, vec3 r) {
        auto s = [&](vec3 v) { return vec3{v[0] * spread, v[1], v[2]}; };
        uint16_t t = static_cast<uint16_t>(b.triangles.size());
        return b.triangle(s(p), s(q), s(r), hit_colours_of(t), {0.0f, 0.5f, 1.0f});
    };

    uint16_t first = tri({-7, -3, 0}, {-6.5f, -2, 0}, {-6, -1, 0}); // collinear
    at.textured = tri({-6, -1, 0}, {-5, 1, 0}, {-4, -1, 0});
    tri({-4, -1, 0}, {-5, 1, 0}, {-3, 1, 0});
    at.swung.push_back(tri({-3, -2, 0.5f}, {-2, 0, 0.5f}, {-1, -2, 0.5f}));
    b.run(named(lit(0.9f, 0.2f, 0.1f), "Skin", 0), first, 4);

    first = tri({-6, 2, 0}, {-4, 3, 0}, {-2, 4, 0}); // collinear: no normal of its own
    tri({-6, -4, 0}, {-5, -2, 0}, {-4, -4, 0});
    at.repainted = tri({-3, -4, 0}, {-3, -4, 0}, {-1, -3, 0}); // two corners in one place
    tri({-2, -5, 0}, {0, -5, 0}, {-1, -3, 0});                 // counter-clockwise: a back face
    uint16_t blended = tri({0, -4, 0}, {1, -1, 0}, {2, -4, 0});
    at.blend_corner = b.triangles[blended][1];
    at.broken = tri({2, -3, 0}, {3, -1, 0}, {4, -3, 0});
    at.swung.push_back(tri({1, 1, 0}, {2, 3, 0}, {3, 1, 0}));
    uint16_t origin = tri({9, 9, 0}, {0.5f, 2, 0}, {1, 0, 0});
    at.no_vertex = b.triangles[origin][0];
    // Drawn before the run it overlaps: the normal it gives its leading triangle must not stay.
    b.run(named(lit(0.8f, 0.1f, 0.8f), "Paint"), at.repainted, 3);
    b.run(named(lit(0.2f, 0.7f, 0.3f), "Cloth"), first, 8);

    b.run(named(lit(0.3f, 0.3f, 1.0f, 0.5f), "Glass"),
          tri({-5.5f, -1.5f, 1}, {-4.5f, 0.5f, 1}, {-2, -1.5f, 1}));
    b.run(named(lit(1.0f, 1.0f, 0.2f), "Badge", 1), tri({3, -1, 0}, {4, 1, 0}, {5, -1, 0}));
    b.run(named(lit(1, 1, 1), "MUZZLE"), tri({4, -4, 0}, {5, -2, 0}, {6, -4, 0}));
    b.run(named(lit(1, 1, 1), "flashLight"), tri({5, 2, 0}, {6, 4, 0}, {7, 2, 0}));

    b.grippers = {{"Grip2", {}, 1}, {"Grip1", {}, 0}};
    scene::translation(b.grippers[0].local.data(), 2, -1, 0);
    scene::translation(b.grippers[1].local.data(), -2, 3, 0);

    tkm_mesh *mesh = b.build();
    for (uint16_t t : at.swung)
        for (uint16_t k = 0; k < 3; k++)
            mesh->vertices[mesh->corners[mesh->triangles[t].corners[k]].vertex].bone = 1;
    // One blend vertex halfway between a corner on each bone.
    mesh->num_blends = 1;
    mesh->blends = alloc_elements<blend_vertex>(1);
    mesh->blends[0].count = 2;
    mesh->blends[0].vertices = alloc_elements<uint16_t>(2);
    mesh->blends[0].weights = alloc_elements<float>(2);
    mesh->blends[0].vertices[0] = mesh->corners[b.triangles[blended][0]].vertex;
    mesh->blends[0].vertices[1] = mesh->corners[b.triangles[at.swung[1]][1]].vertex;
    mesh->blends[0].weights[0] = mesh->blends[0].weights[1] = 0.5f;
    mesh->corners[at.blend_corner].vertex = mesh->num_vertices;
    mesh->corners[at.no_vertex].vertex = 0xFFF0;
    mesh->triangles[at.broken].corners[1] = 0xFFFF;
    if (where) *where = at;
    return mesh;
}

tkm_mesh *build_weapon() {
    scene::builder b;
    b.name = "Weapon";
    b.textures = {"metal.bmp"};
    // Led by a zero-area triangle, which takes the normal the character's pass left behind.
    uint16_t first = b.triangle({4, 4, 0.2f}, {5, 4, 0.2f}, {6, 4, 0.2f}, {1, 2, 3});
    b.triangle({4, 1.5f, 0.2f}, {5, 3.5f, 0.2f}, {6, 1.5f, 0.2f}, {31, 992, 31744},
               {0.0f, 0.5f, 1.0f});
    b.triangle({5.5f, 2, 0.2f}, {6.5f, 4, 0.2f}, {7, 2, 0.2f});
    b.run(named(lit(0.5f, 0.5f, 0.5f), "Metal", 0), first, 2);
    b.run(named(lit(0.1f, 0.1f, 0.1f), "Grip"), 2, 1);
    b.grips = {{"Grip1", {}, 0}};
    scene::translation(b.grips[0].local.data(), -5, -3, 0);
    return b.build();
}

// Bone 0 slides right and bone 1 turns about two axes, a little more each frame; twist varies it.
tka_animation *swinging_animation(const tkm_mesh *mesh, uint16_t frames, float twist = 1.0f) {
    tka_animation *animation = scene::shifted_animation(mesh, frames, 0.25f);
    for (uint16_t f = 0; f < frames && mesh->num_bones > 1; f++)
        euler_matrix(animation->bones[1].frame_worlds + 16 * f, 0.25f * f, 0.5f * f, 0.0f,
                     20.0f * f * twist, 35.0f * f * twist, 0.0f);
    return animation;
}

// ---- reading both paths back

struct picture {
    std::vector<unsigned char> pixels;
    float normal[4] = {}, colour[4] = {}, texcoord[4] = {};
};

picture draw_by(int32_t path) {
    set_draw_path(path);
    // Values of neither path's making, so that what each leaves behind is its own doing.
    glNormal3f(0.0f, 0.6f, 0.8f);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);
    glTexCoord2f(0.25f, 0.75f);
    draw_scene();
    picture p;
    p.pixels = gl_fixture::read_rgb(0, 0, 640, 480);
    glGetFloatv(GL_CURRENT_NORMAL, p.normal);
    glGetFloatv(GL_CURRENT_COLOR, p.colour);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, p.texcoord);
    return p;
}

std::string differences(const picture &immediate, const picture &arrays) {
    std::ostringstream out;
    std::size_t count = 0, first = 0;
    for (std::size_t i = 0; i < immediate.pixels.size(); i += 3)
        if (std::memcmp(&immediate.pixels[i], &arrays.pixels[i], 3) != 0 && count++ == 0) first = i;
    if (count > 0)
        out << count << " pixels differ, the first at (" << first / 3 % 640 << ", "
            << first / 3 / 640 << "): " << int{immediate.pixels[first]} << " "
            << int{immediate.pixels[first + 1]} << " " << int{immediate.pixels[first + 2]}
            << " drawn immediately, " << int{arrays.pixels[first]} << " "
            << int{arrays.pixels[first + 1]} << " " << int{arrays.pixels[first + 2]}
            << " from arrays; ";
    auto compare = [&](const char *what, const float *a, const float *b, int n) {
        if (std::memcmp(a, b, n * sizeof(float)) == 0) return;
        out << "the current " << what << " differs (";
        for (int i = 0; i < n; i++)
            out << a[i] << (i + 1 < n ? " " : " against ");
        for (int i = 0; i < n; i++)
            out << b[i] << (i + 1 < n ? " " : ")");
        out << "; ";
    };
    compare("normal", immediate.normal, arrays.normal, 3);
    compare("colour", immediate.colour, arrays.colour, 4);
    compare("texture coordinate", immediate.texcoord, arrays.texcoord, 4);
    return out.str();
}

class draw_arrays_test : public scene_test {
  protected:
    void SetUp() override {
        scene_test::SetUp();
        character_triangles at;
        app_state.mesh = build_character(1.0f, &at);
        textured_triangle = at.textured;
        app_state.animation = swinging_animation(app_state.mesh, character_frames);
        app_state.weapon_mesh = build_weapon();
        app_state.weapon_animation = scene::shifted_animation(app_state.weapon_mesh, 3, 100.0f);
        app_state.current_frame = 2;
        give_textures();
        // Half the picture is lit material colour: the normals must be right, not just present.
        app_state.camera_orientation[0] = 0.2588190f; // 30 degrees about x
        app_state.camera_orientation[3] = 0.9659258f;
    }
    void TearDown() override {
        set_draw_path(draw_by_arrays);
        scene_test::TearDown();
    }

    // Two-colour textures for each texture name of the meshes that have none loaded yet.
    void give_textures() {
        const test_images::colour colours[][2] = {{{255, 0, 0}, {0, 255, 0}},
                                                  {{0, 0, 255}, {255, 255, 0}},
                                                  {{255, 0, 255}, {0, 255, 255}}};
        for (tkm_mesh *mesh : {app_state.mesh, app_state.weapon_mesh})
            if (mesh && mesh->gl_textures.num_textures == 0)
                for (uint16_t i = 0; i < mesh->num_texture_names; i++)
                    give_texture(mesh, i, colours[(i + serial) % 3][0],
                                 colours[(i + serial) % 3][1]);
    }
    void give_texture(tkm_mesh *mesh, uint32_t index, test_images::colour left,
                      test_images::colour right) {
        gl_texture_table &table = mesh->gl_textures;
        if (table.num_textures <= index) {
            uint32_t *textures = alloc_elements<uint32_t>(index + 1);
            uint32_t *loaded = alloc_elements<uint32_t>(index + 1);
            for (uint32_t i = 0; i < table.num_textures; i++)
                textures[i] = table.textures[i], loaded[i] = table.loaded[i];
            cleanup_one(table.textures);
            cleanup_one(table.loaded);
            table = {index + 1, textures, loaded};
        }
        const std::string path = files / ("texture" + std::to_string(serial++) + ".bmp");
        write_all(path, test_images::bmp(8, 8, [&](int x, int) { return x < 4 ? left : right; }));
        if (table.loaded[index]) glDeleteTextures(1, &table.textures[index]);
        ASSERT_EQ(load_image_texture(&table.textures[index], path.c_str()), 0);
        table.loaded[index] = 1;
    }

    // Draws the scene both ways; every difference, or nothing.
    std::string compare_paths() {
        picture immediate = draw_by(draw_immediately);
        picture arrays = draw_by(draw_by_arrays);
        return differences(immediate, arrays);
    }

    temp_dir files;
    int serial = 0;
    uint16_t textured_triangle = 0;
};

// ---- every combination of the toggles

struct toggle {
    const char *name;
    std::function<void(bool)> set;
};

void set_capability(GLenum capability, bool on) {
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

TEST_F(draw_arrays_test, every_combination_of_the_toggles_draws_the_pixels_of_the_immediate_path) {
    const toggle toggles[] = {
        {"textures", [](bool on) { app_state.show_textures = on; }},
        {"white materials", [](bool on) { app_state.white_materials = on; }},
        {"wire view",
         [](bool on) { app_state.mesh_primitive = on ? GL_LINE_STRIP : GL_TRIANGLES; }},
        {"culling",
         [](bool on) {
             app_state.cull_back_faces = on;
             set_capability(GL_CULL_FACE, on);
         }},
        {"normals", [](bool on) { app_state.show_normals = on; }},
        {"hit colours",
         [](bool on) {
             app_state.show_hit_detection = on;
             set_capability(GL_LIGHTING, !on);
         }},
        {"bones", [](bool on) { app_state.show_bones = on; }},
        {"hidden texture", [](bool on) { app_state.mesh->texture_names[1].hidden = on; }},
        {"line smoothing",
         [](bool on) {
             app_state.line_smoothing = on;
             set_capability(GL_LINE_SMOOTH, on);
         }},
    };
    constexpr std::size_t count = std::size(toggles);
    // In Gray-code order, so that from one drawing to the next exactly one toggle changes.
    for (uint32_t step = 0; step < (1u << count); step++) {
        const std::bitset<count> on(step ^ (step >> 1));
        std::string which;
        for (std::size_t i = 0; i < count; i++) {
            toggles[i].set(on[i]);
            if (on[i]) which += std::string(which.empty() ? "" : ", ") + toggles[i].name;
        }
        if (which.empty()) which = "every toggle off";
        // Smoothed lines among filled triangles (normal lines, outlined back faces) come out of
        // Mesa as its batches of calls fall, which depends on what was drawn before: there the
        // arrays leave the mesh to the immediate path, and two drawings need not agree.
        const bool smoothed_among_filled =
            app_state.line_smoothing &&
            (app_state.show_normals ||
             (app_state.mesh_primitive == GL_TRIANGLES && !app_state.cull_back_faces));
        if (app_state.show_normals || smoothed_among_filled) {
            EXPECT_EQ(draw_mesh_arrays(app_state.mesh, app_state.animation, 0), 1)
                << "with " << which;
        }
        // Smoothed wire lines under smoothed bone lines go to the immediate path both times, and
        // Mesa 25 (Debian 13) draws them differently from one run of the same program to the
        // next (4 runs in 16, at the same pixels): nothing of the arrays to compare there.
        const bool smoothed_wire_under_bones = app_state.line_smoothing && app_state.show_bones &&
                                               app_state.mesh_primitive == GL_LINE_STRIP;
        if (smoothed_among_filled || smoothed_wire_under_bones) continue;
        std::string found = compare_paths();
        ASSERT_EQ(found, "") << "with " << which;
    }
}

// ---- every change of what is drawn, between two frames

TEST_F(draw_arrays_test, a_change_of_frame_model_texture_or_material_is_drawn_at_once) {
    struct change {
        const char *name;
        std::function<void()> apply;
    };
    const change changes[] = {
        {"the next frame", [] { app_state.current_frame = 3; }},
        {"back to frame 0", [] { app_state.current_frame = 0; }},
        {"another animation of the same shape",
         [] {
             release_animation(app_state.animation);
             app_state.animation = swinging_animation(app_state.mesh, character_frames, -0.5f);
         }},
        {"the rest pose",
         [] {
             release_animation(app_state.animation);
             app_state.animation = create_animation();
             build_rest_pose(app_state.mesh, app_state.animation);
         }},
        {"no animation",
         [] {
             release_animation(app_state.animation);
             app_state.animation = nullptr;
         }},
        {"another character of the same shape",
         [] {
             release_mesh(app_state.mesh);
             app_state.mesh = build_character(0.8f);
             app_state.animation = swinging_animation(app_state.mesh, character_frames);
             app_state.current_frame = 1;
         }},
        {"a vertex moved in place, and the change noted",
         [] {
             app_state.mesh->vertices[0].local[12] += 0.75f;
             note_model_change();
         }},
        {"a material recoloured in place",
         [] {
             app_state.show_textures = app_state.white_materials = 0;
             app_state.mesh->materials[1].gl_diffuse[0] = 1.0f;
         }},
        {"the weapon removed",
         [] {
             release_mesh(app_state.weapon_mesh);
             app_state.weapon_mesh = nullptr;
         }},
        {"character and weapon swapped", [] { std::swap(app_state.mesh, app_state.weapon_mesh); }},
    };
    for (const change &c : changes) {
        set_draw_path(draw_by_arrays);
        draw_scene();
        c.apply();
        give_textures(); // a mesh built anew has none yet
        std::string found = compare_paths();
        EXPECT_EQ(found, "") << "after " << c.name;
    }
}

TEST_F(draw_arrays_test, a_texture_replaced_unloaded_or_hidden_shows_at_once) {
    const std::function<void()> changes[] = {
        [this] {
            give_texture(app_state.mesh, 0, {255, 255, 255}, {0, 0, 0});
        },
        [] { app_state.mesh->gl_textures.loaded[0] = 0; },
        [] { app_state.mesh->texture_names[0].hidden = 1; },
        [] { app_state.mesh->texture_names[0].hidden = 0; },
    };
    for (std::size_t i = 0; i < std::size(changes); i++) {
        set_draw_path(draw_by_arrays);
        draw_scene();
        changes[i]();
        EXPECT_EQ(compare_paths(), "") << "change " << i;
    }
}

// ---- what arrays leave to the immediate path

TEST_F(draw_arrays_test, meshes_and_views_that_arrays_cannot_draw_are_drawn_immediately) {
    const std::function<void()> cases[] = {
        [this] {
            const uint16_t corner = app_state.mesh->triangles[textured_triangle].corners[0];
            app_state.mesh->corners[corner].texcoord = app_state.mesh->num_texcoords;
        },
        [] { app_state.mesh_primitive = GL_POINTS; },
        [] { app_state.show_normals = 1; },
    };
    for (std::size_t i = 0; i < std::size(cases); i++) {
        cases[i]();
        note_model_change();
        // Drawn the other way first, so that only a fall-back to the immediate path agrees.
        set_draw_path(draw_immediately);
        draw_scene();
        EXPECT_EQ(compare_paths(), "") << "case " << i;
        app_state.mesh_primitive = GL_TRIANGLES;
        app_state.show_normals = 0;
    }
}

TEST_F(draw_arrays_test, posing_happens_only_when_the_frame_changes) {
    set_draw_path(draw_by_arrays);
    draw_scene();
    tkm_vertex &vertex = app_state.mesh->vertices[0];
    const float posed = vertex.world[12];
    vertex.world[12] = 1234.0f; // whatever posing writes would overwrite this
    draw_scene();
    EXPECT_EQ(vertex.world[12], 1234.0f) << "posed again although nothing changed";
    app_state.current_frame = 1;
    draw_scene();
    app_state.current_frame = 2;
    draw_scene();
    EXPECT_EQ(vertex.world[12], posed);
}

} // namespace
