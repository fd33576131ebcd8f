// SPDX-License-Identifier: MIT
// Every malformed or unsupported glTF file is refused with its code and a message that names what
// is wrong; missing or unusable images are only reported and their materials keep their colour.
#include "gltf_import_test.h"

#include <cmath>
#include <functional>
#include <limits>

namespace {

using namespace gltf_import_test;
namespace gf = gltf_fixture;
using gf::json;

// A sound two-joint model with a textured material, the start of every bad case.
gf::model base_model() {
    gf::model m = gf::chain_model(2);
    m.images = {{"skin", gf::png(1, 1, {1, 2, 3}), "", "image/png"}};
    m.materials[0].image = 0;
    return m;
}

json &primitive(gf::document &d) {
    return d.doc["meshes"][0]["primitives"][0];
}

// The byte offset in the buffer where accessor index's data starts.
size_t data_offset(gf::document &d, int index) {
    const json &accessor = d.accessor(index);
    return d.doc["bufferViews"][accessor["bufferView"].get<size_t>()]["byteOffset"].get<size_t>() +
           accessor.value("byteOffset", size_t(0));
}

std::vector<uint8_t> text(const std::string &s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

struct bad_case {
    const char *name;
    std::function<std::vector<uint8_t>()> make;
    int code;
    const char *message; // a part of the reason given
};

// The base model with one change, as a GLB.
std::function<std::vector<uint8_t>()> changed(std::function<void(gf::document &)> change) {
    return [change]() {
        gf::document d = gf::build(base_model());
        change(d);
        return gf::glb(d);
    };
}

const bad_case bad_cases[] = {
    {"plain_text", [] { return text("hello, world"); }, gltf_not_gltf, "not a glTF file"},
    {"json_array", [] { return text("[1, 2, 3]"); }, gltf_not_gltf, "not a glTF file"},
    {"json_without_asset", [] { return text("{\"meshes\": []}"); }, gltf_not_gltf,
     "no \"asset\" object"},
    {"cut_json",
     [] {
         std::vector<uint8_t> bytes = gf::gltf(gf::build(base_model()));
         bytes.resize(bytes.size() / 2);
         return bytes;
     },
     gltf_bad_json, "bad JSON: [json.exception.parse_error"},
    {"deep_json",
     [] {
         return text("{\"asset\": {\"version\": \"2.0\"}, \"extras\": " + std::string(100000, '[') +
                     std::string(100000, ']') + "}");
     },
     gltf_bad_json, "nested deeper than 64 levels"},
    {"glb_cut_in_its_json",
     [] {
         std::vector<uint8_t> bytes = gf::glb(gf::build(base_model()));
         bytes.resize(40);
         return bytes;
     },
     gltf_bad_document, "first chunk is not a whole JSON chunk"},
    {"glb_version_1",
     [] {
         std::vector<uint8_t> bytes = gf::glb(gf::build(base_model()));
         bytes[4] = 1;
         return bytes;
     },
     gltf_unsupported, "GLB version 1"},
    {"gltf_version_1", changed([](gf::document &d) { d.doc["asset"]["version"] = "1.0"; }),
     gltf_unsupported, "glTF version \"1.0\" is not supported"},
    {"required_extension",
     changed([](gf::document &d) { d.doc["extensionsRequired"] = {"KHR_draco_mesh_compression"}; }),
     gltf_unsupported, "requires the extension KHR_draco_mesh_compression"},
    {"no_mesh", changed([](gf::document &d) { d.doc["nodes"][2].erase("mesh"); }), gltf_no_mesh,
     "no node with a mesh"},
    {"buffer_view_outside_its_buffer", changed([](gf::document &d) {
         const int view = d.accessor(d.attribute("POSITION"))["bufferView"];
         d.doc["bufferViews"][size_t(view)]["byteOffset"] = d.bin.size() - 8;
     }),
     gltf_bad_buffer_view, "lies outside buffer 0"},
    {"accessor_outside_its_view",
     changed([](gf::document &d) { d.accessor(d.attribute("POSITION"))["count"] = 7; }),
     gltf_bad_accessor, "(7 elements from byte 0) reaches beyond buffer view"},
    {"accessor_offset_beyond_its_view", changed([](gf::document &d) {
         d.accessor(d.attribute("TEXCOORD_0"))["byteOffset"] = 1u << 30;
     }),
     gltf_bad_accessor, "reaches beyond buffer view"},
    {"positions_of_the_wrong_type",
     changed([](gf::document &d) { d.accessor(d.attribute("POSITION"))["type"] = "VEC2"; }),
     gltf_bad_accessor, "an element type that POSITION cannot have"},
    {"position_not_a_number", changed([](gf::document &d) {
         const float nan = std::numeric_limits<float>::quiet_NaN();
         std::memcpy(&d.bin[data_offset(d, d.attribute("POSITION")) + 4], &nan, 4);
     }),
     gltf_bad_accessor, "not a finite number"},
    {"sparse_index_outside_the_elements", changed([](gf::document &d) {
         d.add_sparse(d.attribute("POSITION"), {9}, {1, 2, 3}, 1);
     }),
     gltf_bad_accessor, "sparse index 9 of accessor"},
    {"sparse_values_outside_their_view", changed([](gf::document &d) {
         d.add_sparse(d.attribute("POSITION"), {0, 1}, {1, 2, 3}, 2);
     }),
     gltf_bad_accessor, "the sparse part of accessor"},
    {"index_outside_the_vertices", changed([](gf::document &d) {
         primitive(d)["indices"] =
             d.add_accessor(std::vector<uint16_t>{0, 1, 6}, gf::unsigned_short, "SCALAR", 1);
     }),
     gltf_bad_index, "index 2 of primitive 0 is 6, outside its 6 vertices"},
    {"corners_not_whole_triangles", changed([](gf::document &d) {
         primitive(d)["indices"] =
             d.add_accessor(std::vector<uint16_t>{0, 1, 2, 3}, gf::unsigned_short, "SCALAR", 1);
     }),
     gltf_bad_index, "4 corners, which do not make whole triangles"},
    {"lines_only", changed([](gf::document &d) { primitive(d)["mode"] = 1; }), gltf_no_triangles,
     "no primitive made of triangles"},
    {"cycle", changed([](gf::document &d) { d.doc["nodes"][1]["children"] = {0}; }),
     gltf_bad_hierarchy, "cycle through node 0"},
    {"own_child", changed([](gf::document &d) { d.doc["nodes"][1]["children"] = {1}; }),
     gltf_bad_hierarchy, "node 1 is its own child"},
    {"two_parents", changed([](gf::document &d) { d.doc["nodes"][2]["children"] = {1}; }),
     gltf_bad_hierarchy, "node 1 is the child of both node 0 and node 2"},
    {"missing_child", changed([](gf::document &d) { d.doc["nodes"][1]["children"] = {9}; }),
     gltf_bad_hierarchy, "node 1 names child 9, which does not exist"},
    {"joint_outside_the_skin",
     changed([](gf::document &d) { d.bin[data_offset(d, d.attribute("JOINTS_0")) + 4 * 4] = 7; }),
     gltf_bad_skin, "vertex 4 of primitive 0 names joint 7; the skin has 2"},
    {"vertex_without_weight", changed([](gf::document &d) {
         std::memset(&d.bin[data_offset(d, d.attribute("WEIGHTS_0"))], 0, 16);
     }),
     gltf_bad_skin, "vertex 0 of primitive 0 has no joint weight"},
    {"skinned_primitive_without_joints",
     changed([](gf::document &d) { primitive(d)["attributes"].erase("JOINTS_0"); }), gltf_bad_skin,
     "no JOINTS_0 and WEIGHTS_0"},
    {"too_few_inverse_bind_matrices", changed([](gf::document &d) {
         d.accessor(d.doc["skins"][0]["inverseBindMatrices"])["count"] = 1;
     }),
     gltf_bad_skin, "1 inverse bind matrices for 2 joints"},
    {"skin_names_a_missing_node",
     changed([](gf::document &d) { d.doc["skins"][0]["joints"][1] = 40; }), gltf_bad_skin,
     "names node 40 as a joint"},
    {"skin_lists_a_node_twice",
     changed([](gf::document &d) { d.doc["skins"][0]["joints"][1] = 0; }), gltf_bad_skin,
     "lists node 0 twice"},
    {"image_view_outside_its_buffer", changed([](gf::document &d) {
         const size_t view = d.doc["images"][0]["bufferView"];
         d.doc["bufferViews"][view]["byteLength"] = d.bin.size();
     }),
     gltf_bad_buffer_view, "of image 0 lies outside buffer 0"},
    {"material_that_does_not_exist", changed([](gf::document &d) { primitive(d)["material"] = 5; }),
     gltf_bad_document, "names material 5, which does not exist"},
};

class gltf_import_bad_input : public testing::TestWithParam<bad_case> {};

TEST_P(gltf_import_bad_input, is_refused_with_its_code_and_reason) {
    const bad_case &c = GetParam();
    const std::vector<uint8_t> bytes = c.make();
    scene_model scene;
    gltf_import_notes notes;
    testing::internal::CaptureStderr();
    const int code =
        read_gltf_scene_bytes(&scene, bytes.data(), bytes.size(), nullptr, "m", &notes);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, c.code) << notes.error;
    EXPECT_NE(notes.error.find(c.message), std::string::npos) << notes.error;
}

INSTANTIATE_TEST_SUITE_P(cases, gltf_import_bad_input, testing::ValuesIn(bad_cases),
                         [](const testing::TestParamInfo<bad_case> &info) {
                             return info.param.name;
                         });

TEST(gltf_import_bad_files, the_load_prints_the_reason_and_converts_nothing) {
    temp_dir dir;
    loaded got = load_file(dir, "m.glb", text("{\"asset\": {\"version\": \"2.0\"}}"), "m.tkm");
    EXPECT_EQ(got.code, gltf_no_mesh);
    EXPECT_EQ(got.stage, "read_gltf");
    EXPECT_EQ(got.err, "Error loading glTF model: the file has no node with a mesh\n");

    std::filesystem::create_directory(dir / "dir.glb");
    gltf_import_notes notes;
    scene_model scene;
    EXPECT_EQ(read_gltf_scene(&scene, (dir / "dir.glb").c_str(), "m", &notes), gltf_cannot_open);
    EXPECT_NE(notes.error.find(": Is a directory"), std::string::npos) << notes.error;
    EXPECT_EQ(read_gltf_scene(&scene, (dir / "none.glb").c_str(), "m", &notes), gltf_cannot_open);
    EXPECT_NE(notes.error.find("No such file or directory"), std::string::npos) << notes.error;
}

// The limits are a TKM's, not Milkshape's: more than 128 joints and materials convert; more
// triangles than a TKM holds are refused by the build, which says why.
TEST(gltf_import_bad_files, only_what_a_tkm_cannot_hold_is_refused) {
    temp_dir dir;
    gf::model m = gf::chain_model(200);
    gf::primitive one = m.primitives[0];
    one.vertices.resize(3);
    for (int i = 0; i < 129; i++) {
        m.primitives.push_back(one);
        m.primitives.back().material = int(m.materials.size());
        m.materials.push_back(gf::material{});
    }
    m.joints[199].name = std::string(300, 'j');
    loaded got = load_file(dir, "many.glb", gf::glb(gf::build(m)));
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_EQ(got.mesh->num_bones, 200);
    EXPECT_EQ(got.mesh->num_materials, 130);
    EXPECT_EQ(std::string(got.mesh->bones[199].name), m.joints[199].name);
    got = load_file(dir, "huge.glb", gf::glb([] {
                        gf::document d = gf::build(base_model());
                        primitive(d)["indices"] = d.add_accessor(
                            std::vector<uint16_t>(3 * 21846, 0), gf::unsigned_short, "SCALAR", 1);
                        return d;
                    }()));
    EXPECT_NE(got.code, 0);
    EXPECT_EQ(got.stage, "build_tkm");
    EXPECT_NE(got.err.find("Can't convert glTF model: "), std::string::npos) << got.err;
}

TEST(gltf_import_bad_files, a_missing_buffer_file_is_refused) {
    temp_dir dir;
    loaded got = load_file(dir, "m.gltf", gf::gltf(gf::build(base_model()), "gone.bin"));
    EXPECT_EQ(got.code, gltf_bad_document);
    EXPECT_NE(got.err.find("Error loading glTF model: File not found : gone.bin"),
              std::string::npos)
        << got.err;
    // A URI is a path relative to the model: an absolute one is not read as such.
    std::filesystem::create_directory(dir / "sub");
    write_all(dir / "m.bin", gf::build(base_model()).bin);
    got = load_file(dir, "sub/m.gltf", gf::gltf(gf::build(base_model()), dir / "m.bin"));
    EXPECT_EQ(got.code, gltf_bad_document) << got.err;
    got = load_file(dir, "sub/m.gltf", gf::gltf(gf::build(base_model()), "../m.bin"));
    EXPECT_EQ(got.code, 0) << got.err; // a relative path up from the model is still its own
}

// Images that cannot be used: the material keeps its colour and has no texture.
struct image_case {
    const char *name;
    gf::image image;
    const char *warning;
};

class gltf_import_images : public testing::TestWithParam<image_case> {};

TEST_P(gltf_import_images, an_unusable_image_is_reported_and_the_colour_kept) {
    const image_case &c = GetParam();
    temp_dir dir;
    gf::model m = base_model();
    m.materials[0].colour = {0.2, 0.4, 0.6, 1};
    m.images = {c.image};
    loaded got = load_file(dir, "m.gltf", gf::gltf(gf::build(m)), "m.tkm");
    ASSERT_TRUE(got.mesh) << got.err;
    EXPECT_NE(got.err.find(c.warning), std::string::npos) << got.err;
    EXPECT_EQ(got.mesh->num_texture_names, 0);
    EXPECT_EQ(got.mesh->materials[0].num_texture_refs, 0);
    EXPECT_FLOAT_EQ(got.mesh->materials[0].diffuse[2], 0.6f * 255);
    EXPECT_TRUE(got.scene.images.empty());
}

INSTANTIATE_TEST_SUITE_P(
    cases, gltf_import_images,
    testing::Values(
        image_case{"missing",
                   {"", {}, "skin.png", ""},
                   "glTF image 0 (skin.png) is missing: material 'material' keeps its colour"},
        image_case{"gif",
                   {"anim", text("GIF89a\x01\x00\x01\x00"), "", "image/gif"},
                   "glTF image 0 (anim) is not a PNG or JPEG image"},
        image_case{"huge",
                   {"big", gf::png(20000, 1, {0, 0, 0}), "", "image/png"},
                   "is 20000x1 pixels, which no texture can be"}),
    [](const testing::TestParamInfo<image_case> &info) { return info.param.name; });

TEST(gltf_import_images, a_jpeg_is_kept_as_a_jpg_file) {
    temp_dir dir;
    gf::model m = base_model();
    // Start of image, an application segment, then a baseline frame of 3 × 2 pixels.
    const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x04, 'J',  'F',
                                       0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x02, 0x00,
                                       0x03, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xD9};
    m.images = {{"photo", jpeg, "", "image/jpeg"}};
    loaded got = load_file(dir, "m.glb", gf::glb(gf::build(m)), "out.tkm");
    ASSERT_TRUE(got.mesh) << got.err;
    ASSERT_EQ(got.mesh->num_texture_names, 1);
    EXPECT_STREQ(got.mesh->texture_names[0].path, "out_photo.jpg");
    EXPECT_EQ(read_all(dir / "out_photo.jpg"), jpeg);
}

} // namespace
