// SPDX-License-Identifier: MIT
// tkmtool with glTF models: convert writes the TKM and the textures beside it, info speaks of
// glTF, export-obj names the written texture, and bad files fail with the reader's reason.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include "common/temp_dir.h"
#include "fixtures/gltf_import_builder.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/tkm_reader.h"

namespace {

namespace gf = gltf_fixture;

struct run_result {
    int status = -1;
    std::string out, err;
};

std::string text_of(const std::string &path) {
    const std::vector<unsigned char> bytes = read_all(path);
    return std::string(bytes.begin(), bytes.end());
}

struct gltf_tkmtool : testing::Test {
    temp_dir dir;
    std::vector<uint8_t> image = gf::png(2, 1, {1, 2, 3});

    run_result run(const std::vector<std::string> &args) {
        std::string command = "'" TKMTOOL_PATH "'";
        for (const std::string &arg : args)
            command += " '" + arg + "'";
        command += " >'" + (dir / "stdout") + "' 2>'" + (dir / "stderr") + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text_of(dir / "stdout"),
                text_of(dir / "stderr")};
    }
    // A textured two-joint weapon with two animations, written as name.
    std::string weapon(const std::string &name) {
        gf::model m = gf::chain_model(2);
        m.images = {{"skin", image, "", "image/png"}};
        m.materials[0].image = 0;
        m.animations = 2;
        const gf::document d = gf::build(m);
        write_all(dir / name, name.find(".glb") != std::string::npos ? gf::glb(d) : gf::gltf(d));
        return dir / name;
    }
};

TEST_F(gltf_tkmtool, convert_writes_the_mesh_and_its_texture_beside_it) {
    std::filesystem::create_directory(dir / "out");
    for (const char *name : {"gun.glb", "gun.GLTF"}) {
        std::filesystem::remove(dir / "out/SWT_gun_skin.png");
        const run_result r = run({"convert", weapon(name), dir / "out/SWT_gun.tkm"});
        ASSERT_EQ(r.status, 0) << name << r.err;
        EXPECT_NE(r.out.find("Wrote TKM " + (dir / "out/SWT_gun.tkm")), std::string::npos) << r.out;
        EXPECT_EQ(read_all(dir / "out/SWT_gun_skin.png"), image) << name;
        tkm_mesh *mesh = create_mesh();
        ASSERT_EQ(read_tkm(mesh, (dir / "out/SWT_gun.tkm").c_str()), 0);
        EXPECT_EQ(mesh->num_bones, 2);
        EXPECT_EQ(mesh->num_grips, 2);
        ASSERT_EQ(mesh->num_texture_names, 1);
        EXPECT_STREQ(mesh->texture_names[0].path, "SWT_gun_skin.png");
        release_mesh(mesh);
    }
}

TEST_F(gltf_tkmtool, info_speaks_of_gltf_once_and_writes_nothing) {
    const std::string model = weapon("walk.glb");
    run_result r = run({"info", model});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("class: weapon\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Converted glTF model!\n"), r.out.rfind("Converted glTF model!\n"));
    EXPECT_NE(r.out.find("Converted glTF model!\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Milkshape"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("not converted"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "walk_skin.png"));
    // With --json standard output holds the document alone; the progress goes to standard error.
    r = run({"info", "--json", model});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto document = nlohmann::json::parse(r.out, nullptr, false);
    ASSERT_FALSE(document.is_discarded()) << r.out;
    EXPECT_EQ(document["class_name"], "weapon");
    EXPECT_NE(r.err.find("Converted glTF model!\n"), std::string::npos) << r.err;
}

TEST_F(gltf_tkmtool, export_obj_names_the_texture_it_writes) {
    const run_result r = run({"export-obj", weapon("gun.gltf"), dir / "gun.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(text_of(dir / "gun.mtl").find("map_Kd gun_skin.png\n"), std::string::npos);
    EXPECT_EQ(read_all(dir / "gun_skin.png"), image);
}

TEST_F(gltf_tkmtool, a_bad_file_fails_with_the_reason_and_leaves_no_output) {
    write_all(dir / "bad.glb", {'g', 'l', 'T', 'F', 2, 0, 0, 0});
    run_result r = run({"convert", dir / "bad.glb", dir / "bad.tkm"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error loading glTF model: the GLB container is cut short: 8 bytes\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.tkm"));
    r = run({"info", "--json", dir / "bad.glb"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"error\": {\"stage\": \"read_gltf\", \"code\": 4, \"field\": null, "
                     "\"offset\": null, \"message\": null}}\n");
}

} // namespace
