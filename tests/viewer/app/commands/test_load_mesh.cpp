// SPDX-License-Identifier: MIT
// The mesh load command: chooser request, TKM and Milkshape branches, the weapon rule, the
// animation kept or replaced by bone count, textures switched off when all fail, and a glTF
// model's images written beside it without replacing a file of the user's.
#include "command_fixture.h"

#include <filesystem>

#include "tests/fixtures/gltf_import_builder.h"
#include "tests/fixtures/ms3d_builder.h"

namespace {

using command_fixture::requests;

// The position of stored vertex v as drawn.
std::array<float, 3> drawn(const tkm_mesh *mesh, int v) {
    const float *world = mesh->vertices[v].world;
    return {world[12], world[13], world[14]};
}

} // namespace

TEST_F(command_test, mesh_chooser_is_asked_with_the_mesh_filters_title_and_directory) {
    app_state.mesh_filter_index = 2;
    chooser_reply cancel;
    cancel.filter_index = 7;
    command_fixture::replies.push_back(cancel);
    auto [out, err] = run(load_mesh_command);

    ASSERT_EQ(requests.size(), 1u);
    const seen_request &request = requests[0];
    EXPECT_EQ(request.save, 0);
    EXPECT_EQ(request.title, "Load TarvikMesh");
    EXPECT_EQ(request.initial_directory, dir.path.string());
    EXPECT_EQ(request.filter_index, 2u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Model files", "*.tkm;*.ms3d;*.gltf;*.glb"},
        {"TarvikMesh files", "*.tkm"},
        {"Officer models", "SWT_*.tkm"},
        {"Kid models", "KID_*.tkm"},
        {"Male character models", "TAC_*.tkm;BG1_*.tkm;BG2_*.tkm;BG3_*.tkm;MH1_*.tkm;MH2_*.tkm"},
        {"Female character models", "BF1_*.tkm;FH1_*.tkm;FH2_*.tkm;PRH_*.tkm"},
        {"Milkshape 3D files", "*.ms3d"},
        {"All files", "*.*"},
        {"glTF 2.0 files", "*.gltf;*.glb"},
    };
    EXPECT_EQ(request.filters, expected);
    // A cancelled chooser still remembers the filter, and nothing else happens.
    EXPECT_EQ(app_state.mesh_filter_index, 7u);
    EXPECT_EQ(app_state.mesh, nullptr);
    EXPECT_EQ(out, "");
}

TEST_F(command_test, a_character_mesh_is_loaded_in_its_rest_pose) {
    std::filesystem::create_directory(dir.path / "models");
    std::string path = character_file("models/SWT_chain.tkm", 52);
    auto [out, err] = load_mesh(path);

    EXPECT_NE(out.find("Loading mesh: " + path + "\n"), std::string::npos) << out;
    ASSERT_NE(app_state.mesh, nullptr) << err;
    EXPECT_EQ(app_state.mesh->num_bones, 52);
    EXPECT_STREQ(app_state.mesh->class_name, "officer");
    const std::string models = (dir.path / "models").string();
    EXPECT_STREQ(app_state.mesh->directory, models.c_str());
    EXPECT_EQ(app_state.mesh->directory_length, models.size());
    EXPECT_EQ(app_state.mesh_directory, models);

    ASSERT_NE(app_state.animation, nullptr);
    EXPECT_EQ(app_state.animation->num_frames, 1);
    EXPECT_EQ(app_state.rest_pose_animation, 1);
    EXPECT_EQ(app_state.current_frame, 0);
    EXPECT_EQ(app_state.weapon_mesh, nullptr);
    // Posed: bone 5 of the chain stands 50 units up, its triangle's second corner 4 to the side.
    auto position = drawn(app_state.mesh, 3 * 5 + 1);
    EXPECT_FLOAT_EQ(position[0], 4.0f);
    EXPECT_FLOAT_EQ(position[1], 50.0f);
    EXPECT_FLOAT_EQ(position[2], 0.0f);
}

TEST_F(command_test, a_name_without_extension_is_read_as_tkm) {
    auto [out, err] = load_mesh(character_file("chain", 40));
    ASSERT_NE(app_state.mesh, nullptr) << err;
    EXPECT_STREQ(app_state.mesh->class_name, "child");
}

TEST_F(command_test, milkshape_names_in_any_case_go_to_the_milkshape_branch) {
    // Bytes that are neither TKM nor Milkshape: the name chooses the reader, whose words show.
    for (const char *name : {"model.ms3d", "model.MS3D", "model.Ms3D"}) {
        auto [out, err] = load_mesh(write_file(name, std::vector<uint8_t>(20, 'x')));
        EXPECT_EQ(app_state.mesh, nullptr) << name;
        EXPECT_EQ(err.find("Error loading TarvikMesh"), std::string::npos) << err;
        EXPECT_NE(err.find("Error loading Milkshape model: -1\n"), std::string::npos) << err;
    }
}

// A model whose name says another format is read as what its bytes are, with a warning; a
// Milkshape model renamed to .tkm was once refused as not a TKM.
TEST_F(command_test, a_model_named_as_another_format_is_read_as_what_it_is) {
    tkm_fixture fixture;
    fixture.bones = chain_skeleton(3);
    const std::string tkm = write_file("model.ms3d", encode_tkm(fixture));
    auto [out, err] = load_mesh(tkm);
    ASSERT_NE(app_state.mesh, nullptr) << err;
    EXPECT_EQ(app_state.mesh->num_bones, 3);
    EXPECT_EQ(err, "Warning: " + tkm + " is a TKM model, though its name says Milkshape\n");

    const std::string ms3d =
        write_file("SWT_renamed.tkm", ms3d_fixture::bytes(ms3d_fixture::chain_model(52)));
    auto [out2, err2] = load_mesh(ms3d);
    ASSERT_NE(app_state.mesh, nullptr) << err2;
    EXPECT_STREQ(app_state.mesh->class_name, "officer");
    EXPECT_NE(out2.find("Converted Milkshape model!\n"), std::string::npos) << out2;
    EXPECT_EQ(
        err2.rfind("Warning: " + ms3d + " is a Milkshape model, though its name says TKM\n", 0), 0u)
        << err2;
}

TEST_F(command_test, a_file_of_no_known_format_is_refused_in_one_line) {
    const std::string path = write_file("notes.txt", {'T', 'o', ' ', 'd', 'o', ':', ' ', 'r', 'i',
                                                      'g', ' ', 't', 'h', 'e', ' ', 'k', 'i', 'd'});
    auto [out, err] = load_mesh(path);
    EXPECT_EQ(app_state.mesh, nullptr);
    EXPECT_EQ(err, "Error loading model: " + path + " is not a TKM, Milkshape or glTF model\n");
}

// The system's reason after the code, for a model and for an animation; a directory is not read
// as a file whose header is missing.
TEST_F(command_test, a_file_that_cannot_be_opened_says_why) {
    std::filesystem::create_directory(dir.path / "folder.tkm");
    const std::pair<std::string, std::string> cases[] = {
        {"missing.tkm", "No such file or directory"},
        {"folder.tkm", "Is a directory"},
    };
    for (const auto &[name, reason] : cases) {
        auto [out, err] = load_mesh(dir / name);
        EXPECT_EQ(app_state.mesh, nullptr) << name;
        EXPECT_EQ(err, "Error loading TarvikMesh: 1 (" + reason + ")\n") << name;
    }
    load_mesh(character_file("SWT_a.tkm", 52));
    std::filesystem::create_directory(dir.path / "folder.tka");
    for (const char *name : {"missing.tka", "folder.tka"}) {
        auto [out, err] = load_animation(dir / name);
        const std::string reason = name[0] == 'm' ? "No such file or directory" : "Is a directory";
        EXPECT_EQ(err, "Error loading TarvikAnimation: 1 (" + reason + ")\n") << name;
    }
}

TEST_F(command_test, a_failed_read_keeps_the_loaded_mesh_but_remembers_the_directory) {
    load_mesh(character_file("good.tkm", 52));
    tkm_mesh *loaded = app_state.mesh;
    tka_animation *animation = app_state.animation;
    ASSERT_NE(loaded, nullptr);

    std::filesystem::create_directory(dir.path / "other");
    tkm_fixture fixture;
    fixture.bones = chain_skeleton(4);
    std::vector<uint8_t> bytes = encode_tkm(fixture);
    bytes[3] ^= 0xFF;
    std::string bad = write_file("other/bad.tkm", bytes);
    auto [out, err] = load_mesh(bad);
    EXPECT_NE(err.find(bad + " is not a TKM\n"), std::string::npos) << err;
    EXPECT_NE(err.find("Error loading TarvikMesh: 1\n"), std::string::npos) << err;
    EXPECT_EQ(app_state.mesh, loaded);
    EXPECT_EQ(app_state.animation, animation);
    EXPECT_EQ(app_state.mesh_directory, (dir.path / "other").string());

    // Cut short in the middle of the bones.
    std::vector<uint8_t> cut = encode_tkm(fixture);
    cut.resize(60);
    const std::string cut_path = write_file("cut.tkm", cut);
    auto [out2, err2] = load_mesh(cut_path);
    EXPECT_NE(err2.find("Error loading TarvikMesh: "), std::string::npos) << err2;
    // The line after the code says where the file ends and what it was reading there.
    EXPECT_NE(err2.find("\n" + cut_path + ": the file ends at octet 60, inside bone "),
              std::string::npos)
        << err2;
    EXPECT_EQ(app_state.mesh, loaded);
}

TEST_F(command_test, a_mesh_with_grips_replaces_only_the_weapon) {
    load_mesh(character_file("SWT_a.tkm", 52));
    load_animation(animation_file("walk.tka", 52, 6));
    tkm_mesh *character = app_state.mesh;
    tka_animation *walk = app_state.animation;
    ASSERT_NE(walk, nullptr);
    ASSERT_EQ(walk->num_frames, 6);
    app_state.current_frame = 4;

    auto [out, err] = load_mesh(weapon_file("rifle.tkm"));
    ASSERT_NE(app_state.weapon_mesh, nullptr) << err;
    EXPECT_STREQ(app_state.weapon_mesh->class_name, "weapon");
    ASSERT_NE(app_state.weapon_animation, nullptr);
    EXPECT_EQ(app_state.weapon_animation->num_frames, 1);
    EXPECT_EQ(app_state.mesh, character);
    EXPECT_EQ(app_state.animation, walk);
    EXPECT_EQ(app_state.current_frame, 4);
    // The weapon's rest pose does not pass the walk off as a rest pose...
    EXPECT_EQ(app_state.rest_pose_animation, 0);

    tkm_mesh *first_weapon = app_state.weapon_mesh;
    load_mesh(weapon_file("pistol.tkm"));
    EXPECT_NE(app_state.weapon_mesh, first_weapon);
    EXPECT_EQ(app_state.weapon_mesh->num_grips, 2);

    // ...so the next character of the same skeleton still walks.
    load_mesh(character_file("SWT_b.tkm", 52));
    EXPECT_NE(app_state.mesh, character);
    EXPECT_EQ(app_state.animation, walk);
    EXPECT_EQ(app_state.current_frame, 4);
}

TEST_F(command_test, the_animation_is_kept_only_for_a_mesh_with_as_many_bones) {
    load_mesh(character_file("SWT_a.tkm", 52));
    load_animation(animation_file("walk.tka", 52, 8));
    tka_animation *walk = app_state.animation;
    app_state.current_frame = 5;

    load_mesh(character_file("SWT_b.tkm", 52));
    EXPECT_EQ(app_state.animation, walk);
    EXPECT_EQ(app_state.current_frame, 5);
    EXPECT_EQ(app_state.rest_pose_animation, 0);

    load_mesh(character_file("KID_c.tkm", 40));
    ASSERT_NE(app_state.animation, nullptr);
    EXPECT_EQ(app_state.animation->num_frames, 1);
    EXPECT_EQ(app_state.animation->num_bones, 40);
    EXPECT_EQ(app_state.current_frame, 0);
    EXPECT_EQ(app_state.rest_pose_animation, 1);

    // A rest pose is never kept: the next mesh gets its own.
    tka_animation *rest = app_state.animation;
    load_mesh(character_file("KID_d.tkm", 40));
    EXPECT_NE(app_state.animation, rest);
    EXPECT_EQ(app_state.animation->num_frames, 1);
}

TEST_F(command_test, textures_are_switched_off_only_when_every_one_fails) {
    auto [out, err] = load_mesh(
        character_file("all_missing.tkm", 3, {"tex\\one.bmp", "tex\\two.bmp", "tex\\three.bmp"}));
    ASSERT_NE(app_state.mesh, nullptr) << err;
    EXPECT_NE(out.find("load_textures() returned 3\n"), std::string::npos) << out;
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_EQ(app_state.white_materials, 0);

    // Already off: every texture "fails" without a try, and texturing stays off.
    auto [out_off, err_off] =
        load_mesh(character_file("again.tkm", 3, {"a.bmp", "b.bmp", "c.bmp"}));
    EXPECT_NE(out_off.find("load_textures() returned 3\n"), std::string::npos) << out_off;
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_EQ(app_state.white_materials, 0);
}

TEST_F(command_test, textures_stay_on_when_some_load) {
    std::filesystem::create_directory(dir.path / "m");
    write_file("m/skin.bmp", encode_bmp(make_uniform_picture()));
    auto [out, err] = load_mesh(character_file(
        "m/partly.tkm", 3, {"C:\\game\\textures\\Skin.BMP", "missing1.bmp", "missing2.tga"}));
    ASSERT_NE(app_state.mesh, nullptr) << err;
    EXPECT_NE(out.find("load_textures() returned 2\n"), std::string::npos) << out;
    EXPECT_EQ(app_state.show_textures, 1);
    EXPECT_EQ(app_state.white_materials, 1);
    ASSERT_EQ(app_state.mesh->gl_textures.num_textures, 3u);
    EXPECT_EQ(app_state.mesh->gl_textures.loaded[0], 1u);
    EXPECT_EQ(app_state.mesh->gl_textures.loaded[1], 0u);

    // A mesh without texture names reports nothing, neither with textures on nor off.
    auto [out_none, err_none] = load_mesh(character_file("bare.tkm", 3));
    EXPECT_EQ(out_none.find("load_textures()"), std::string::npos) << out_none;
    EXPECT_EQ(app_state.show_textures, 1);
    app_state.show_textures = app_state.white_materials = 0;
    auto [out_off, err_off] = load_mesh(character_file("bare_off.tkm", 3));
    ASSERT_NE(app_state.mesh, nullptr) << err_off;
    EXPECT_EQ(out_off, "Loading mesh: " + (dir / "bare_off.tkm") + "\n");
    EXPECT_EQ(err_off, "");
}

TEST_F(command_test, a_file_in_the_root_directory_keeps_the_root_as_its_directory) {
    // No such file: the read fails, but the directory is remembered for the next chooser.
    auto [out, err] = load_mesh("/tarvik-no-such-model.tkm");
    EXPECT_EQ(app_state.mesh, nullptr);
    EXPECT_NE(err.find("Error loading TarvikMesh: 1 (No such file or directory)\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(app_state.mesh_directory, "/");
}

// The images a glTF model carries go beside it, as tkmtool convert puts them: a different file
// under an image's name is kept, and the image takes the first free numbered name, which the
// loaded mesh names; a file that holds the image already is used as it is.
TEST_F(command_test, a_gltf_models_images_replace_no_other_file_beside_it) {
    namespace gf = gltf_fixture;
    const std::vector<uint8_t> png = gf::png(2, 1, {40, 50, 60});
    const std::vector<uint8_t> users = {'m', 'i', 'n', 'e'};
    struct image_case {
        const char *label;
        std::vector<std::pair<std::string, std::vector<uint8_t>>> existing;
        std::string named; // the texture the mesh names
        bool note;         // the kept file is named on standard error
    };
    const image_case cases[] = {
        {"a free name", {}, "skin.png", false},
        {"a different file", {{"skin.png", users}}, "skin_2.png", true},
        {"a file holding the image", {{"skin.png", png}}, "skin.png", false},
        {"a numbered file holding the image",
         {{"skin.png", users}, {"skin_2.png", png}},
         "skin_2.png",
         true},
    };
    for (const image_case &c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove_all(dir.path / "gltf");
        std::filesystem::create_directory(dir.path / "gltf");
        gf::model m = gf::chain_model(2);
        m.images = {{"skin.png", png, "", "image/png"}};
        m.materials[0].image = 0;
        const std::string model = write_file("gltf/officer.glb", gf::glb(gf::build(m)));
        for (const auto &[name, bytes] : c.existing)
            write_file("gltf/" + name, bytes);
        auto [out, err] = load_mesh(model);
        // Two bones make no character: the model may come in as the weapon.
        const tkm_mesh *loaded = app_state.mesh ? app_state.mesh : app_state.weapon_mesh;
        ASSERT_NE(loaded, nullptr) << err;
        ASSERT_EQ(loaded->num_texture_names, 1u);
        EXPECT_STREQ(loaded->texture_names[0].base, c.named.c_str());
        EXPECT_EQ(read_all(dir / ("gltf/" + c.named)), png);
        for (const auto &[name, bytes] : c.existing)
            EXPECT_EQ(read_all(dir / ("gltf/" + name)), name == c.named ? png : bytes) << name;
        const std::string note = "Kept " + dir / "gltf/skin.png" +
                                 ", a different file: the model's image is written as " +
                                 dir / ("gltf/" + c.named) + "\n";
        EXPECT_EQ(err.find(note) != std::string::npos, c.note) << err;
    }
}
