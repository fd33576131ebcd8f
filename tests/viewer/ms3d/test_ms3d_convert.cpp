// SPDX-License-Identifier: MIT
// The conversion driver, the triangle and material steps, the load branch, and a converted model
// saved as TKM and read back.
#include "ms3d_test.h"

#include <cmath>
#include <cstring>

#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/formats/model_load.h"
#include "viewer/scene/scene.h"

namespace fx = ms3d_fixture;

namespace {

// count vertices on one joint along x, all distinct, and the given triangles in one group.
fx::model flat_model(uint16_t vertices, std::vector<fx::triangle> triangles) {
    fx::model m;
    m.materials = {fx::material{}};
    fx::joint root;
    root.name = "root";
    m.joints = {root};
    for (uint16_t i = 0; i < vertices; i++)
        m.vertices.push_back({float(i), 0, 0, 0});
    m.triangles = std::move(triangles);
    fx::group body{"body", {}, 0};
    for (uint16_t t = 0; t < m.triangles.size(); t++)
        body.triangles.push_back(t);
    m.groups = {body};
    return m;
}

fx::triangle tri(uint16_t a, uint16_t b, uint16_t c) {
    fx::triangle t;
    t.v[0] = a, t.v[1] = b, t.v[2] = c;
    return t;
}

// A triangle whose three corners carry the given texture coordinates.
fx::triangle textured(std::vector<std::pair<float, float>> uv) {
    fx::triangle t = tri(0, 1, 2);
    for (int k = 0; k < 3; k++) {
        t.s[k] = uv[size_t(k)].first;
        t.t[k] = uv[size_t(k)].second;
    }
    return t;
}

TEST(convert_ms3d, header_name_and_message) {
    conversion c = convert_fixture(fx::triangle_model());
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(c.mesh->header_word, 1029);
    EXPECT_EQ(c.mesh->name_length, 9);
    EXPECT_STREQ(c.mesh->name, "Milkshape");
    EXPECT_EQ(c.mesh->num_blends, 0);
    EXPECT_EQ(c.mesh->blends, nullptr);
    EXPECT_STREQ(c.mesh->class_name, "unknown");
    EXPECT_EQ(c.out.substr(c.out.size() - 27), "Converted Milkshape model!\n");
    EXPECT_EQ(c.err, "Unknown number of bones (1): Model probably won't work in SWAT!\n");
}

TEST(convert_triangles, material_runs_follow_the_groups) {
    fx::model m =
        flat_model(3, {tri(0, 1, 2), tri(0, 1, 2), tri(0, 1, 2), tri(0, 1, 2), tri(0, 1, 2)});
    m.materials.push_back(fx::material{});
    m.groups = {{"first", {0, 1}, 1}, {"second", {2, 3, 4}, 0}};
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    ASSERT_EQ(c.mesh->num_material_runs, 2);
    const material_run *runs = c.mesh->material_runs;
    EXPECT_EQ(runs[0].material, 1);
    EXPECT_EQ(runs[0].first_triangle, 0);
    EXPECT_EQ(runs[0].triangle_count, 2);
    EXPECT_EQ(runs[1].material, 0);
    EXPECT_EQ(runs[1].first_triangle, 2);
    EXPECT_EQ(runs[1].triangle_count, 3);
    ASSERT_EQ(c.mesh->num_triangle_lists, 1);
    EXPECT_EQ(c.mesh->triangle_lists[0].count, 5);
    for (uint16_t t = 0; t < 5; t++)
        EXPECT_EQ(c.mesh->triangle_lists[0].triangles[t], t);
    EXPECT_EQ(c.mesh->list_aux, 7u);
}

TEST(convert_triangles, corners_are_reversed) {
    fx::model m = flat_model(7, {tri(4, 5, 6), tri(0, 1, 2)});
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const tkm_mesh &mesh = *c.mesh;
    ASSERT_EQ(mesh.num_corners, 6);
    for (uint16_t k = 0; k < 3; k++) {
        EXPECT_EQ(mesh.corners[k].vertex, 4 + k);
        EXPECT_EQ(mesh.corners[k].aux1, 0);
        EXPECT_EQ(mesh.triangles[0].corners[k], 2 - k);
        EXPECT_EQ(mesh.triangles[1].corners[k], 5 - k);
    }
}

TEST(convert_triangles, equal_texture_coordinates_are_merged) {
    const std::pair<float, float> same = {0.25f, 0.75f};
    conversion all = convert_fixture(
        flat_model(3, {textured({same, same, same}), textured({same, same, same})}));
    ASSERT_EQ(all.result, 0) << all.err;
    EXPECT_EQ(all.mesh->num_texcoords, 1);
    EXPECT_EQ(all.mesh->texcoords[0].u, 0.25f);
    EXPECT_EQ(all.mesh->texcoords[0].v, 0.75f);
    for (uint16_t k = 0; k < 6; k++)
        EXPECT_EQ(all.mesh->corners[k].texcoord, 0);

    conversion close = convert_fixture(
        flat_model(3, {textured({{0.5f, 0.5f}, {0.50005f, 0.5f}, {0.501f, 0.5f}})}));
    ASSERT_EQ(close.result, 0);
    ASSERT_EQ(close.mesh->num_texcoords, 2);
    EXPECT_EQ(close.mesh->corners[1].texcoord, 0);
    EXPECT_EQ(close.mesh->corners[2].texcoord, 1);
    EXPECT_EQ(close.mesh->texcoords[1].u, 0.501f);

    conversion aba =
        convert_fixture(flat_model(3, {textured({{0.1f, 0.2f}, {0.3f, 0.4f}, {0.1f, 0.2f}})}));
    ASSERT_EQ(aba.result, 0);
    ASSERT_EQ(aba.mesh->num_texcoords, 2);
    EXPECT_EQ(aba.mesh->texcoords[0].u, 0.1f);
    EXPECT_EQ(aba.mesh->texcoords[1].u, 0.3f);
    EXPECT_EQ(aba.mesh->corners[0].texcoord, 0);
    EXPECT_EQ(aba.mesh->corners[1].texcoord, 1);
    EXPECT_EQ(aba.mesh->corners[2].texcoord, 0);
}

TEST(convert_triangles, triangles_left_out_by_the_groups) {
    fx::model m = flat_model(3, {tri(0, 1, 2), tri(0, 1, 2), tri(0, 1, 2), tri(0, 1, 2)});
    m.groups[0].triangles = {0, 1, 2};
    conversion c = convert_fixture(m);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.out.find("PANIC: Only used 9 of 12 vertices\n"), std::string::npos);
    EXPECT_EQ(c.out.find("triangles\n"), std::string::npos);

    m.groups[0].triangles = {0, 1};
    c = convert_fixture(m);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.out.find("PANIC: Only used 6 of 12 vertices\nPANIC: Only used 2 of 4 triangles\n"),
              std::string::npos);
}

TEST(convert_triangles, a_triangle_listed_twice_cannot_hide_one_left_out) {
    fx::model m = flat_model(3, {tri(0, 1, 2), tri(0, 1, 2), tri(0, 1, 2)});
    m.groups[0].triangles = {0, 2, 0};
    conversion c = convert_fixture(m);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.err.find("Triangle 1 is in no group.  Can't use this model!\n"), std::string::npos)
        << c.err;
    EXPECT_EQ(c.out.find("PANIC: Only used"), std::string::npos);
}

TEST(convert_triangles, groups_without_material) {
    fx::model m = flat_model(3, {tri(0, 1, 2), tri(0, 1, 2)});
    m.groups = {{"good", {0}, 0}, {"bad", {1}, -1}};
    conversion c = convert_fixture(m);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.err.find("Group 'bad' has no material assigned.  Can't use this model!\n"),
              std::string::npos);
}

TEST(convert_triangles, refuses_what_would_overrun_the_mesh) {
    fx::model material = flat_model(3, {tri(0, 1, 2)});
    material.groups[0].material = 1;
    conversion c = convert_fixture(material);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.err.find("Group 'body' uses material 1, but the model has only 1 materials."),
              std::string::npos);

    fx::model listed = flat_model(3, {tri(0, 1, 2), tri(0, 1, 2)});
    listed.groups.push_back({"more", {0}, 0});
    c = convert_fixture(listed);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.err.find("Milkshape groups list 3 triangles, but the model has only 2."),
              std::string::npos);

    fx::model name = flat_model(3, {tri(0, 1, 2)});
    name.groups[0].name = std::string(32, 'g');
    c = convert_fixture(name);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.err.find("Group 0 has a name longer than its field."), std::string::npos);

    fx::model many = flat_model(3, std::vector<fx::triangle>(21846, tri(0, 1, 2)));
    c = convert_fixture(many);
    EXPECT_EQ(c.result, tkm_build_failed_triangles);
    EXPECT_NE(c.err.find("Milkshape model has 21846 triangles, more than the 21845"),
              std::string::npos);
    many.triangles.pop_back();
    many.groups[0].triangles.pop_back();
    c = convert_fixture(many);
    EXPECT_EQ(c.result, 0) << "21845 triangles fit";
    EXPECT_EQ(c.mesh->num_corners, 65535);
}

TEST(convert_triangles, no_triangles) {
    fx::model m = flat_model(3, {});
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(c.mesh->num_triangles, 0);
    EXPECT_EQ(c.mesh->num_corners, 0);
    EXPECT_EQ(c.mesh->num_texcoords, 0);
    ASSERT_EQ(c.mesh->num_triangle_lists, 1);
    EXPECT_EQ(c.mesh->triangle_lists[0].count, 0);
    EXPECT_EQ(c.mesh->list_aux, 2u);
}

TEST(merge_texcoord, renumbers_corners_and_removes) {
    conversion c = convert_fixture(flat_model(3, {textured({{0.1f, 0}, {0.2f, 0}, {0.3f, 0}}),
                                                  textured({{0.4f, 0}, {0.5f, 0}, {0.6f, 0}})}));
    ASSERT_EQ(c.result, 0);
    merge_texcoord(c.mesh.get(), 1, 3);
    EXPECT_EQ(c.mesh->num_texcoords, 5);
    const uint16_t expected[] = {0, 1, 2, 1, 3, 4};
    for (int k = 0; k < 6; k++)
        EXPECT_EQ(c.mesh->corners[k].texcoord, expected[k]);
    EXPECT_EQ(c.mesh->texcoords[3].u, 0.5f);
}

TEST(convert_materials, colours_values_and_texture_names) {
    fx::model m = flat_model(3, {tri(0, 1, 2)});
    fx::material plain, textured_material, last;
    plain.name = "plain";
    plain.diffuse[0] = 1, plain.diffuse[1] = 0.5f, plain.diffuse[2] = 0, plain.diffuse[3] = 0.5f;
    plain.ambient[0] = 0.2f, plain.ambient[3] = 0.5f;
    plain.specular[2] = 1, plain.specular[3] = 1;
    plain.emissive[0] = 0.9f, plain.emissive[3] = 0.4f;
    plain.shininess = 64;
    plain.transparency = 1;
    textured_material.name = "skin";
    textured_material.texture = "textures\\skin.bmp";
    textured_material.transparency = 0.25f;
    last.name = "FLASHLIGHT";
    m.materials = {plain, textured_material, last};
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    const tkm_mesh &mesh = *c.mesh;
    ASSERT_EQ(mesh.num_materials, 3);
    const tkm_material &a = mesh.materials[0];
    EXPECT_STREQ(a.name, "plain");
    EXPECT_EQ(a.name_length, 5);
    EXPECT_EQ(a.aux_word, 3);
    EXPECT_EQ(a.diffuse[0], 127.5f);
    EXPECT_EQ(a.diffuse[1], 63.75f);
    EXPECT_EQ(a.diffuse[2], 0.0f);
    EXPECT_FLOAT_EQ(a.ambient[0], 0.2f * 255 * 0.5f);
    EXPECT_EQ(a.specular[2], 255.0f);
    EXPECT_EQ(a.transparency, 0.0f);
    EXPECT_EQ(a.emission, 0.4f);
    EXPECT_EQ(a.shininess, 0.5f);
    EXPECT_EQ(a.aux_float2, 0.05f);
    EXPECT_EQ(a.opacity, 1.0f);
    EXPECT_EQ(a.gl_face, gl_front_face);
    EXPECT_EQ(a.gl_diffuse[0], 0.5f);
    EXPECT_EQ(a.gl_diffuse[3], 1.0f);
    EXPECT_FLOAT_EQ(a.gl_emission[0], 0.004f);
    EXPECT_EQ(a.num_texture_refs, 0);
    EXPECT_EQ(a.texture_refs, nullptr);

    ASSERT_EQ(mesh.num_texture_names, 1);
    const texture_name &name = mesh.texture_names[0];
    EXPECT_STREQ(name.path, "textures\\skin.bmp");
    EXPECT_EQ(name.length, 17);
    EXPECT_STREQ(name.base, "skin.bmp");
    EXPECT_EQ(name.base_length, 8);
    EXPECT_EQ(name.hidden, 0u);
    const tkm_material &b = mesh.materials[1];
    ASSERT_EQ(b.num_texture_refs, 1);
    EXPECT_EQ(b.texture_refs[0].aux, 1);
    EXPECT_EQ(b.texture_refs[0].texture, 0);
    EXPECT_EQ(b.transparency, 0.75f);
    EXPECT_EQ(b.opacity, 0.25f);
    EXPECT_EQ(mesh.materials[2].num_texture_refs, 0);
}

TEST(convert_materials, two_materials_naming_one_file_get_two_names) {
    fx::model m = flat_model(3, {tri(0, 1, 2)});
    fx::material one;
    one.texture = "a.bmp";
    m.materials = {one, one};
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0);
    ASSERT_EQ(c.mesh->num_texture_names, 2);
    EXPECT_EQ(c.mesh->materials[1].texture_refs[0].texture, 1);
}

TEST(convert_materials, none_and_unterminated) {
    fx::model none = flat_model(3, {});
    none.materials.clear();
    none.groups.clear();
    conversion c = convert_fixture(none);
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(c.mesh->num_materials, 0);
    EXPECT_EQ(c.mesh->num_texture_names, 0);

    fx::model long_name = flat_model(3, {tri(0, 1, 2)});
    long_name.materials[0].texture = std::string(128, 't');
    c = convert_fixture(long_name);
    EXPECT_EQ(c.result, tkm_build_failed_materials);
    EXPECT_NE(c.err.find("Material 0 has a name longer than its field."), std::string::npos);
}

// A TKM file cannot hold an empty material name (its reader refuses one), so an unnamed material
// is named after its number; no group needs to use it, as in the files found in the wild.
TEST(convert_materials, unnamed_ones_are_named_after_their_number_and_read_back) {
    fx::model unnamed = flat_model(3, {tri(0, 1, 2)});
    unnamed.materials.resize(3, unnamed.materials[0]);
    unnamed.materials[1].name = "";
    unnamed.materials[2].name = "";
    conversion c = convert_fixture(unnamed);
    ASSERT_EQ(c.result, 0) << c.err;
    // One note each, before the bone step's warning of the model's single joint.
    EXPECT_EQ(c.err.rfind("Material 1 has no name; it is named material1.\n"
                          "Material 2 has no name; it is named material2.\nUnknown number",
                          0),
              0u)
        << c.err;
    fx::temp_file file({}, ".tkm");
    ASSERT_EQ(write_tkm(c.mesh.get(), file.path.c_str()), 0);
    mesh_ptr read(create_mesh());
    ASSERT_EQ(read_tkm(read.get(), file.path.c_str()), 0);
    ASSERT_EQ(read->num_materials, 3);
    const char *names[] = {"material", "material1", "material2"};
    for (uint16_t i = 0; i < 3; i++)
        EXPECT_STREQ(read->materials[i].name, names[i]) << i;
}

TEST(load_ms3d_mesh, reports_each_stage) {
    const char *stage = nullptr;
    // The Milkshape entry of the mesh load, as the viewer and tkmtool load a .ms3d file.
    const auto load_ms3d_mesh_staged = [](const char *path, tkm_mesh *mesh, const char **at) {
        scene_model scene;
        model_read_notes notes;
        const int code = load_model_mesh(path, mesh, &scene, &notes);
        *at = notes.stage;
        return code;
    };
    {
        fx::temp_file file({'n', 'o', 't', ' ', 'm', 's', '3', 'd'});
        mesh_ptr mesh(create_mesh());
        testing::internal::CaptureStderr();
        EXPECT_EQ(load_ms3d_mesh_staged(file.path.c_str(), mesh.get(), &stage), -1);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error loading Milkshape model: -1\n");
        EXPECT_STREQ(stage, "read_ms3d");
    }
    {
        fx::model m = flat_model(3, {tri(0, 1, 2)});
        m.groups[0].material = -1;
        fx::temp_file file(fx::bytes(m));
        mesh_ptr mesh(create_mesh());
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(load_ms3d_mesh_staged(file.path.c_str(), mesh.get(), &stage), 3);
        testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.substr(err.size() - 33), "Can't convert Milkshape model: 3\n") << err;
        EXPECT_STREQ(stage, "convert_ms3d");
    }
    {
        fx::temp_file file(fx::bytes(fx::chain_model(52)));
        mesh_ptr mesh(create_mesh());
        testing::internal::CaptureStdout();
        EXPECT_EQ(load_ms3d_mesh_staged(file.path.c_str(), mesh.get(), &stage), 0);
        testing::internal::GetCapturedStdout();
        EXPECT_STREQ(mesh->class_name, "officer");
    }
}

// Saves a converted mesh as TKM and reads it back: what the file stores must come back the same.
void expect_round_trip(const ms3d_fixture::model &fixture, float matrix_tolerance) {
    conversion c = convert_fixture(fixture);
    ASSERT_EQ(c.result, 0) << c.err;
    const tkm_mesh &a = *c.mesh;
    fx::temp_file file({}, ".tkm");
    ASSERT_EQ(write_tkm(&a, file.path.c_str()), 0);
    mesh_ptr read(create_mesh());
    ASSERT_EQ(read_tkm(read.get(), file.path.c_str()), 0);
    const tkm_mesh &b = *read;
    EXPECT_EQ(b.header_word, 1029);
    EXPECT_STREQ(b.name, "Milkshape");
    EXPECT_STREQ(b.class_name, a.class_name);
    ASSERT_EQ(b.num_bones, a.num_bones);
    for (uint16_t i = 0; i < a.num_bones; i++) {
        EXPECT_STREQ(b.bones[i].name, a.bones[i].name);
        EXPECT_EQ(b.bones[i].parent, a.bones[i].parent);
        for (int k = 0; k < 16; k++) {
            EXPECT_NEAR(b.bones[i].local[k], a.bones[i].local[k], matrix_tolerance)
                << i << " " << k;
            EXPECT_NEAR(b.bones[i].world[k], a.bones[i].world[k], matrix_tolerance * 10)
                << i << " " << k;
        }
    }
    ASSERT_EQ(b.num_runs, a.num_runs);
    for (uint16_t r = 0; r < a.num_runs; r++) {
        EXPECT_EQ(b.runs[r].bone, a.runs[r].bone);
        EXPECT_EQ(b.runs[r].first_vertex, a.runs[r].first_vertex);
        EXPECT_EQ(b.runs[r].vertex_count, a.runs[r].vertex_count);
    }
    ASSERT_EQ(b.num_vertices, a.num_vertices);
    for (uint16_t v = 0; v < a.num_vertices; v++) {
        EXPECT_EQ(b.vertices[v].bone, a.vertices[v].bone);
        for (int k = 12; k < 15; k++)
            EXPECT_EQ(b.vertices[v].local[k], a.vertices[v].local[k]);
    }
    ASSERT_EQ(b.num_corners, a.num_corners);
    EXPECT_EQ(std::memcmp(b.corners, a.corners, a.num_corners * sizeof(tkm_corner)), 0);
    ASSERT_EQ(b.num_texcoords, a.num_texcoords);
    EXPECT_EQ(std::memcmp(b.texcoords, a.texcoords, a.num_texcoords * sizeof(tkm_texcoord)), 0);
    ASSERT_EQ(b.num_triangles, a.num_triangles);
    EXPECT_EQ(std::memcmp(b.triangles, a.triangles, a.num_triangles * sizeof(tkm_triangle)), 0);
    ASSERT_EQ(b.num_material_runs, a.num_material_runs);
    EXPECT_EQ(b.list_aux, a.list_aux);
    ASSERT_EQ(b.num_triangle_lists, 1);
    EXPECT_EQ(b.triangle_lists[0].count, a.num_triangles);
    ASSERT_EQ(b.num_texture_names, a.num_texture_names);
    ASSERT_EQ(b.num_materials, a.num_materials);
    for (uint16_t i = 0; i < a.num_materials; i++) {
        EXPECT_STREQ(b.materials[i].name, a.materials[i].name);
        EXPECT_EQ(b.materials[i].num_texture_refs, a.materials[i].num_texture_refs);
        EXPECT_EQ(b.materials[i].shininess, a.materials[i].shininess);
        EXPECT_EQ(b.materials[i].gl_diffuse[0], a.materials[i].gl_diffuse[0]);
    }
    ASSERT_EQ(b.num_grips, a.num_grips);
    ASSERT_EQ(b.num_grippers, a.num_grippers);
    for (uint16_t g = 0; g < a.num_grippers; g++) {
        EXPECT_EQ(b.grippers[g].name_length, 6);
        EXPECT_STREQ(b.grippers[g].name, a.grippers[g].name);
        EXPECT_EQ(b.grippers[g].bone, a.grippers[g].bone);
        EXPECT_EQ(std::memcmp(b.grippers[g].local, a.grippers[g].local, 64), 0);
    }
    for (uint16_t g = 0; g < a.num_grips; g++) {
        EXPECT_STREQ(b.grips[g].name, a.grips[g].name);
        for (int k = 0; k < 16; k++)
            EXPECT_NEAR(b.grips[g].local[k], a.grips[g].local[k], 1e-6f);
    }
}

TEST(converted_model, officer_saved_and_read_back) {
    expect_round_trip(fx::chain_model(52), 0.0f);
}

TEST(converted_model, weapon_saved_and_read_back_keeps_its_bone_matrices) {
    fx::model m = fx::chain_model(2);
    m.joints[0].rotation[0] = 33;
    m.joints[0].rotation[1] = -12;
    m.joints[0].rotation[2] = 170;
    m.joints[0].position[0] = 4;
    m.joints[1].rotation[1] = 90;
    m.joints[1].position[2] = -7;
    m.materials[0].texture = "rifle.bmp";
    expect_round_trip(m, 2e-6f);
}

// A group without triangles draws nothing and gets no material run: a run of none after the last
// triangle is one a TKM file cannot hold, so the saved model would not read back.
TEST(converted_model, empty_groups_get_no_run_and_save) {
    fx::model m = fx::chain_model(2);
    m.materials.push_back(fx::material{});
    m.groups.insert(m.groups.begin(), {"before", {}, 1});
    m.groups.push_back({"after", {}, 1});
    conversion c = convert_fixture(m);
    ASSERT_EQ(c.result, 0) << c.err;
    ASSERT_EQ(c.mesh->num_material_runs, 1);
    EXPECT_EQ(c.mesh->material_runs[0].material, 0);
    EXPECT_EQ(c.mesh->material_runs[0].first_triangle, 0);
    EXPECT_EQ(c.mesh->material_runs[0].triangle_count, c.mesh->num_triangles);
    expect_round_trip(m, 2e-6f);

    // Without any triangles there is no run at all; an empty group still needs its material.
    fx::model bare = flat_model(3, {});
    bare.groups = {{"nothing", {}, 0}};
    c = convert_fixture(bare);
    ASSERT_EQ(c.result, 0) << c.err;
    EXPECT_EQ(c.mesh->num_material_runs, 0);
    expect_round_trip(bare, 0.0f);
    bare.groups[0].material = -1;
    EXPECT_EQ(convert_fixture(bare).result, tkm_build_failed_triangles);
}

TEST(converted_model, odd_bone_count_saved_and_read_back) {
    fx::model m = fx::chain_model(7);
    for (size_t i = 0; i < m.joints.size(); i++)
        m.joints[i].rotation[i % 3] = 25.0f * float(i) - 80.0f;
    expect_round_trip(m, 3e-6f);
}

// Posed in its rest pose, a converted model shows every vertex where Milkshape had it, whatever
// skeleton the bones got.
TEST(converted_model, rest_pose_puts_vertices_where_milkshape_had_them) {
    for (uint16_t bones : {52, 37, 2, 9}) {
        SCOPED_TRACE(bones);
        fx::model m = fx::chain_model(bones);
        for (size_t i = 0; i < m.joints.size(); i++)
            m.joints[i].rotation[(i + 1) % 3] = 15.0f * float(i);
        conversion c = convert_fixture(m);
        ASSERT_EQ(c.result, 0) << c.err;
        std::unique_ptr<tka_animation, void (*)(tka_animation *)> rest(create_animation(),
                                                                       release_animation);
        ASSERT_EQ(fill_rest_pose(c.mesh.get(), rest.get()), 0);
        pose_mesh_in_frame(c.mesh.get(), rest.get(), 0, nullptr);
        // Each Milkshape triangle is one mesh triangle, corners reversed.
        for (uint16_t t = 0; t < c.mesh->num_triangles; t++)
            for (int k = 0; k < 3; k++) {
                const fx::vertex &source = m.vertices[m.triangles[t].v[k]];
                const tkm_corner &corner = c.mesh->corners[c.mesh->triangles[t].corners[2 - k]];
                const float *world = c.mesh->vertices[corner.vertex].world;
                EXPECT_NEAR(world[12], source.x, 2e-4f);
                EXPECT_NEAR(world[13], source.y, 2e-4f);
                EXPECT_NEAR(world[14], source.z, 2e-4f);
            }
    }
}

} // namespace
