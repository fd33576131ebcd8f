// The viewer's mesh load takes glTF files by their extension, in any case: the model is shown
// in its rest pose, its texture written beside it and loaded, and it saves as TKM.
#include "viewer/app/commands/command_fixture.h"

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

} // namespace
