// SPDX-License-Identifier: MIT
// The viewer's mesh load takes glTF files by their extension, in any case: the model is shown
// in its rest pose, its texture written beside it and loaded, and it saves as TKM.
#include "viewer/app/commands/command_fixture.h"

#include <cmath>
#include <filesystem>

#include "fixtures/gltf_import_builder.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

namespace gf = gltf_fixture;

TEST_F(command_test, gltf_and_glb_files_load_with_their_textures_and_save_as_tkm) {
    gf::model m = gf::chain_model(34);
    m.images = {{"skin", gf::png(4, 4, {0, 128, 255}), "", "image/png"}};
    m.materials[0].image = 0;
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
        {"officer.GLB", gf::glb(gf::build(m))}, {"officer.gltf", gf::gltf(gf::build(m))}};
    for (const auto &[name, bytes] : files) {
        std::filesystem::remove(dir / "officer_skin.png");
        const std::string path = write_file(name, bytes);
        auto [out, err] = load_mesh(path);
        ASSERT_NE(app_state.mesh, nullptr) << name << err;
        EXPECT_NE(out.find("Loading mesh: " + path + "\n"), std::string::npos) << out;
        EXPECT_EQ(app_state.mesh->num_bones, 34);
        EXPECT_STREQ(app_state.mesh->class_name, "female badguy");
        EXPECT_EQ(app_state.rest_pose_animation, 1);
        // The image was written beside the model and the viewer loaded it from there.
        EXPECT_TRUE(std::filesystem::exists(dir / "officer_skin.png")) << out;
        ASSERT_EQ(app_state.mesh->gl_textures.num_textures, 1u);
        EXPECT_EQ(app_state.mesh->gl_textures.loaded[0], 1u) << out;
        // Posed in the rest pose: joint 5's triangle stands where the file put it.
        const float *world = app_state.mesh->vertices[3 * 5 + 1].world;
        EXPECT_NEAR(world[12], 5.0f, 1e-4);
        EXPECT_NEAR(world[13], 1.0f, 1e-4);
    }
    choose(dir / "saved.tkm");
    run([] { save_mesh_command(); });
    tkm_mesh *saved = create_mesh();
    ASSERT_EQ(read_tkm(saved, (dir / "saved.tkm").c_str()), 0);
    EXPECT_EQ(saved->num_bones, 34);
    EXPECT_EQ(saved->num_grippers, 3);
    release_mesh(saved);
}

TEST_F(command_test, a_bad_gltf_keeps_the_loaded_mesh) {
    load_mesh(write_file("good.glb", gf::glb(gf::build(gf::chain_model(34)))));
    tkm_mesh *loaded = app_state.mesh;
    ASSERT_NE(loaded, nullptr);
    auto [out, err] = load_mesh(write_file("bad.gltf", {'{', '}'}));
    EXPECT_EQ(err, "Error loading glTF model: not a glTF file (the JSON has no \"asset\" "
                   "object)\n");
    EXPECT_EQ(app_state.mesh, loaded);
}

// The animation Load takes a glTF file's first animation onto the loaded character, sampled at
// ten frames a second; a file without one, or one that is no glTF, keeps the animation shown.
TEST_F(command_test, gltf_animations_load_onto_the_character) {
    gf::model m = gf::chain_model(3);
    const float s = std::sqrt(0.5f);
    m.clips = {{"bend", {{1, "rotation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0, s, s}}}},
               {"other", {{2, "rotation", "STEP", {0}, {0, 0, 0, 1}}}}};
    load_mesh(write_file("char.glb", gf::glb(gf::build(m))));
    ASSERT_NE(app_state.mesh, nullptr);
    auto [out, err] = load_animation(write_file("bend.GLTF", gf::gltf(gf::build(m))));
    ASSERT_NE(app_state.animation, nullptr) << err;
    EXPECT_NE(out.find("Converted glTF animation bend!\n"), std::string::npos) << out;
    tka_animation *bend = app_state.animation;
    ASSERT_EQ(bend->num_frames, 11u);
    EXPECT_EQ(app_state.animation_file_name, "bend.GLTF");
    // Half way: 45 degrees about z.
    const float *half = bend->bones[1].frame_rotations + 4 * 5;
    EXPECT_NEAR(std::fabs(half[2]), std::sin(float(M_PI) / 8), 1e-5) << half[3];
    EXPECT_NEAR(std::fabs(half[3]), std::cos(float(M_PI) / 8), 1e-5);

    gf::model still = gf::chain_model(3);
    for (const auto &[name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"still.glb", gf::glb(gf::build(still))}, {"bad.glb", {'g', 'l', 'T', 'F'}}}) {
        auto [kept_out, kept_err] = load_animation(write_file(name, bytes));
        EXPECT_EQ(app_state.animation, bend) << name;
        EXPECT_NE(kept_err.find("Error loading glTF animation: "), std::string::npos) << kept_err;
    }
}

// The animation Load picks its reader by content too: a glTF under a TKA's name is read as glTF,
// a TKA under a glTF's name as TKA, each with a warning.
TEST_F(command_test, an_animation_named_as_another_format_is_read_as_what_it_is) {
    gf::model m = gf::chain_model(3);
    const float s = std::sqrt(0.5f);
    m.clips = {{"bend", {{1, "rotation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0, s, s}}}}};
    load_mesh(write_file("char.glb", gf::glb(gf::build(m))));
    ASSERT_NE(app_state.mesh, nullptr);
    const std::string glb = write_file("bend.tka", gf::glb(gf::build(m)));
    auto [out, err] = load_animation(glb);
    ASSERT_NE(app_state.animation, nullptr) << err;
    EXPECT_NE(out.find("Converted glTF animation bend!\n"), std::string::npos) << out;
    EXPECT_EQ(err, "Warning: " + glb + " is a glTF model, though its name says TKA\n");

    const std::string tka =
        write_file("walk.glb", encode_tka(turning_animation(chain_skeleton(3), 4)));
    tka_animation *bend = app_state.animation;
    auto [tka_out, tka_err] = load_animation(tka);
    EXPECT_EQ(
        tka_err.rfind("Warning: " + tka + " is a TKA animation, though its name says glTF\n", 0),
        0u)
        << tka_err;
    EXPECT_EQ(tka_err.find("glTF animation"), std::string::npos) << tka_err;
    ASSERT_NE(app_state.animation, bend) << tka_err;
    EXPECT_EQ(app_state.animation->num_frames, 4u);
}

} // namespace
