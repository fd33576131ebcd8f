// SPDX-License-Identifier: MIT
// A glTF model converts to exactly the TKM its Milkshape twin converts to, in each of glTF's
// forms; the skeleton sizes of the game's classes get their classes and attachment points; the
// base-colour image is written beside the output and named in the texture list.
#include "gltf_import_test.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "support/scratch_write.h"
#include "tests/common/linux_only.h"

namespace {

using namespace gltf_import_test;
namespace gf = gltf_fixture;

// A two-joint weapon with two primitives: a textured opaque material and a half-transparent one.
gf::model textured_weapon(const std::vector<uint8_t> &image) {
    gf::model m = gf::chain_model(2);
    m.mesh_name = "Milkshape"; // the twin's name
    for (gf::vertex &v : m.primitives[0].vertices)
        v.u = 0.25f + v.x * 0.5f, v.v = 0.75f - v.y * 0.5f;
    gf::primitive glass;
    for (const auto &p : {std::array<float, 3>{5, 5, 5}, {6, 5, 5}, {5, 6, 5}}) {
        gf::vertex v;
        v.x = p[0], v.y = p[1], v.z = p[2];
        v.joints = {1, 0, 0, 0};
        glass.vertices.push_back(v);
    }
    glass.material = 1;
    m.primitives.push_back(glass);
    m.materials[0].name = "Metal";
    m.materials[0].colour = {0.5, 0.25, 1, 1};
    m.materials[0].image = 0;
    gf::material tinted;
    tinted.name = "Glass";
    tinted.colour = {0, 1, 0.5, 0.5};
    tinted.blend = true;
    m.materials.push_back(tinted);
    m.images = {{"skin", image, "", "image/png"}};
    return m;
}

TEST(gltf_import_convert, every_form_converts_to_the_tkm_of_the_milkshape_twin) {
    temp_dir dir;
    const std::vector<uint8_t> image = gf::png(2, 2, {200, 10, 10});
    const gf::model m = textured_weapon(image);
    const mesh_ptr twin = convert_milkshape(dir, milkshape_twin(m, {"gun_skin.png"}));
    ASSERT_TRUE(twin);
    const std::vector<uint8_t> expected = tkm_bytes(dir, twin.get());

    gf::document d = gf::build(m);
    gf::document embedded = d; // a .gltf keeps its image as a data URI
    embedded.doc["images"][0] = {{"name", "skin"},
                                 {"uri", "data:image/png;base64," + gf::base64(image)}};
    write_all(dir / "model.bin", d.bin);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> forms = {
        {"model.glb", gf::glb(d)},
        {"model.gltf", gf::gltf(embedded)},
        {"external.GLTF", gf::gltf(d, "model.bin")},
    };
    for (const auto &[name, bytes] : forms) {
        std::remove((dir / "gun_skin.png").c_str());
        loaded got = load_file(dir, name, bytes, "gun.tkm");
        ASSERT_TRUE(got.mesh) << name << ": " << got.err;
        EXPECT_EQ(tkm_bytes(dir, got.mesh.get()), expected) << name;
        EXPECT_EQ(read_all(dir / "gun_skin.png"), image) << name;
        EXPECT_NE(got.out.find("Wrote texture " + (dir / "gun_skin.png") + "\n"), std::string::npos)
            << got.out;
        EXPECT_STREQ(got.mesh->class_name, "weapon");
        ASSERT_EQ(got.mesh->num_texture_names, 1);
        EXPECT_STREQ(got.mesh->texture_names[0].path, "gun_skin.png");
        EXPECT_FLOAT_EQ(got.mesh->materials[1].transparency, 0.5f);
        EXPECT_FLOAT_EQ(got.mesh->materials[0].diffuse[0], 127.5f);
    }
}

TEST(gltf_import_convert, images_are_named_but_not_written_without_an_output) {
    temp_dir dir;
    loaded got =
        load_file(dir, "model.glb", gf::glb(gf::build(textured_weapon(gf::png(1, 1, {})))));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_STREQ(got.mesh->texture_names[0].path, "model_skin.png");
    ASSERT_EQ(got.scene.images.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir / "model_skin.png"));
    EXPECT_EQ(got.out.find("Wrote texture"), std::string::npos);
}

// A changed image never replaces the file an earlier load wrote: it takes the next free name,
// which the mesh names, and a load of the same image again finds that file and writes nothing.
TEST(gltf_import_convert, an_unchanged_image_is_not_rewritten_and_a_changed_one_gets_a_new_name) {
    temp_dir dir;
    const std::vector<uint8_t> red = gf::png(1, 1, {255, 0, 0}), blue = gf::png(1, 1, {0, 0, 255});
    loaded first = load_file(dir, "a.glb", gf::glb(gf::build(textured_weapon(red))), "a.glb");
    ASSERT_TRUE(first.mesh) << first.err;
    loaded again = load_file(dir, "a.glb", gf::glb(gf::build(textured_weapon(red))), "a.glb");
    EXPECT_EQ(again.out.find("Wrote texture"), std::string::npos) << again.out;
    EXPECT_EQ(again.err.find("Kept"), std::string::npos) << again.err;
    for (int load = 0; load < 2; load++) {
        SCOPED_TRACE(load ? "the changed image again" : "a changed image");
        loaded changed =
            load_file(dir, "a.glb", gf::glb(gf::build(textured_weapon(blue))), "a.glb");
        ASSERT_TRUE(changed.mesh) << changed.err;
        EXPECT_STREQ(changed.mesh->texture_names[0].path, "a_skin_2.png");
        EXPECT_EQ(changed.out.find("Wrote texture " + (dir / "a_skin_2.png") + "\n") !=
                      std::string::npos,
                  load == 0)
            << changed.out;
        EXPECT_NE(changed.err.find("Kept " + (dir / "a_skin.png") +
                                   ", a different file: the model's image is written as " +
                                   (dir / "a_skin_2.png") + "\n"),
                  std::string::npos)
            << changed.err;
        EXPECT_EQ(read_all(dir / "a_skin.png"), red);
        EXPECT_EQ(read_all(dir / "a_skin_2.png"), blue);
    }
}

TEST(gltf_import_convert, an_image_that_cannot_be_written_says_why_and_keeps_the_old_one) {
    temp_dir dir;
    const std::vector<uint8_t> red = gf::png(1, 1, {255, 0, 0}), blue = gf::png(1, 1, {0, 0, 255});
    write_all(dir / "a_skin.png", red);
    const std::vector<uint8_t> model = gf::glb(gf::build(textured_weapon(blue)));
#ifdef EDQUOT
    const int reasons[] = {ENOSPC, EDQUOT, EIO};
#else
    const int reasons[] = {ENOSPC, EIO}; // Windows' C library has no quotas to name
#endif
    for (int reason : reasons) {
        SCOPED_TRACE(std::strerror(reason));
        scratch_faults faults{10, reason, 0, nullptr, nullptr};
        set_scratch_faults(&faults);
        loaded got = load_file(dir, "a.glb", model, "a.glb");
        set_scratch_faults(nullptr);
        // The old file is kept in any case: the image would have gone beside it.
        EXPECT_NE(got.err.find("Can't write texture " + (dir / "a_skin_2.png") + ": " +
                               std::strerror(reason) + "\n"),
                  std::string::npos)
            << got.err;
        EXPECT_EQ(read_all(dir / "a_skin.png"), red);
        size_t files = 0;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path))
            files += entry.path().filename() == "a.glb" || entry.path().filename() == "a_skin.png"
                         ? 1
                         : 100;
        EXPECT_EQ(files, 2u) << "a file beside the model and its image";
    }
}

// The attachment points the conversion makes for each of the game's skeleton sizes.
struct class_case {
    int joints;
    const char *class_name;
    std::vector<std::pair<std::string, int>> grips, grippers; // name, bone
};

class gltf_import_classes : public testing::TestWithParam<class_case> {};

TEST_P(gltf_import_classes, joint_counts_give_the_class_and_its_attachment_points) {
    const class_case &c = GetParam();
    temp_dir dir;
    gf::model m = gf::chain_model(c.joints);
    m.mesh_name = "Milkshape"; // the twin's name
    loaded got = load_file(dir, "model.glb", gf::glb(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_EQ(got.mesh->num_bones, c.joints);
    EXPECT_STREQ(got.mesh->class_name, c.class_name);
    auto names = [](uint16_t count, const gripper *list) {
        std::vector<std::pair<std::string, int>> out;
        for (uint16_t i = 0; i < count; i++)
            out.emplace_back(list[i].name, list[i].bone);
        return out;
    };
    EXPECT_EQ(names(got.mesh->num_grips, got.mesh->grips), c.grips);
    EXPECT_EQ(names(got.mesh->num_grippers, got.mesh->grippers), c.grippers);
    // The same model from Milkshape, built with its own joint placements (a glTF file's bind pose
    // is kept where a Milkshape file's known skeletons take the reference pose): the same file,
    // byte for byte.
    const mesh_ptr twin = convert_milkshape_own_pose(dir, milkshape_twin(m));
    ASSERT_TRUE(twin);
    EXPECT_EQ(tkm_bytes(dir, got.mesh.get()), tkm_bytes(dir, twin.get()));
}

INSTANTIATE_TEST_SUITE_P(
    game_skeletons, gltf_import_classes,
    testing::Values(class_case{2, "weapon", {{"Grip1", 0}, {"Grip3", 0}}, {}},
                    class_case{
                        34, "female badguy", {}, {{"Grip1", 19}, {"Grip2", 9}, {"Grip3", 1}}},
                    class_case{37, "male badguy", {}, {{"Grip1", 22}, {"Grip2", 12}, {"Grip3", 1}}},
                    class_case{40, "child", {}, {}},
                    class_case{52, "officer", {}, {{"Grip1", 28}, {"Grip2", 9}, {"Grip3", 1}}}),
    [](const testing::TestParamInfo<class_case> &info) {
        return std::to_string(info.param.joints) + "_joints";
    });

TEST(gltf_import_convert, a_static_mesh_gets_one_root_bone_and_its_node_transform) {
    temp_dir dir;
    gf::model m;
    m.mesh_name = "crate";
    m.mesh_translation = {10, 20, 30};
    gf::primitive p;
    for (const auto &q : {std::array<float, 3>{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}) {
        gf::vertex v;
        v.x = q[0], v.y = q[1], v.z = q[2];
        p.vertices.push_back(v);
    }
    m.primitives = {p};
    loaded got = load_file(dir, "crate.gltf", gf::gltf(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    ASSERT_EQ(got.mesh->num_bones, 1);
    EXPECT_STREQ(got.mesh->bones[0].name, "crate");
    EXPECT_EQ(got.mesh->bones[0].parent, no_parent);
    ASSERT_EQ(got.mesh->num_materials, 1); // glTF's default material
    EXPECT_STREQ(got.mesh->materials[0].name, "default");
    const auto corners = rest_corners(got.mesh.get());
    // The converted triangle turns its corners around: C, B, A.
    const std::vector<std::array<float, 3>> expected = {{10, 21, 30}, {11, 20, 30}, {10, 20, 30}};
    EXPECT_EQ(corners, expected);
}

TEST(gltf_import_convert, the_load_says_once_that_it_converted_a_gltf_model) {
    temp_dir dir;
    gf::model m = gf::chain_model(2);
    m.animations = 2;
    loaded got = load_file(dir, "walk.glb", gf::glb(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_EQ(got.notes.num_animations, 2u);
    // The weapon's default grips are made on the way; then the one line that says what it was.
    const std::string done = "Converted glTF model!\n";
    ASSERT_GE(got.out.size(), done.size());
    EXPECT_EQ(got.out.substr(got.out.size() - done.size()), done);
    EXPECT_EQ(got.out.find(done), got.out.size() - done.size());
    EXPECT_EQ(got.out.find("Milkshape"), std::string::npos) << got.out;
    EXPECT_EQ(got.err, "");
}

TEST(gltf_import_convert, only_triangles_of_the_first_skinned_mesh_are_taken) {
    temp_dir dir;
    gf::model m = gf::chain_model(2);
    gf::primitive lines = m.primitives[0];
    lines.mode = 1;
    m.primitives.insert(m.primitives.begin(), lines);
    gf::document d = gf::build(m);
    // A static mesh node listed first: the skinned one is still the one converted.
    d.doc["nodes"].push_back({{"name", "prop"}, {"mesh", 0}});
    std::swap(d.doc["nodes"][2], d.doc["nodes"][3]);
    d.doc["nodes"][0]["children"] = {1};
    d.doc["scenes"][0]["nodes"] = {0, 2, 3};
    loaded got = load_file(dir, "two.glb", gf::glb(d));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_EQ(got.mesh->num_triangles, 2);
    EXPECT_EQ(got.mesh->num_bones, 2);
    EXPECT_NE(got.err.find("glTF primitive 0 is not made of triangles (mode 1): left out"),
              std::string::npos)
        << got.err;
    EXPECT_NE(got.err.find("glTF file has 1 more mesh nodes: only node 3 ('mesh') is converted"),
              std::string::npos)
        << got.err;
}

TEST(gltf_import_convert, sparse_accessors_replace_the_elements_they_name) {
    temp_dir dir;
    gf::document d = gf::build(gf::chain_model(2));
    d.add_sparse(d.attribute("POSITION"), {1, 4}, {0.5f, 0.5f, 0.5f, 7, 0, 0}, 2);
    loaded got = load_file(dir, "m.glb", gf::glb(d));
    ASSERT_TRUE(got.mesh) << got.err;
    const auto corners = rest_corners(got.mesh.get());
    // Triangle 0 is (C, B, A): B became (0.5, 0.5, 0.5); triangle 1's B became (7, 0, 0).
    EXPECT_EQ(corners[1], (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_EQ(corners[4], (std::array<float, 3>{7, 0, 0}));
    EXPECT_EQ(corners[2], (std::array<float, 3>{0, 0, 0}));
}

} // namespace
