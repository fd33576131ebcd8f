// SPDX-License-Identifier: MIT
// The glTF reader fills the neutral model with everything a TKM can hold: names, joints in their
// bind pose, up to four weights per vertex, hit colours, attachment points, texture file names and
// animations; and refuses animations it cannot play.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "fixtures/gltf_import_builder.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/scene/scene.h"

namespace {

namespace gf = gltf_fixture;
using gf::json;

struct read_result {
    int code = 0;
    scene_model scene;
    gltf_import_notes notes;
    std::string err;
};

read_result read_bytes(const std::vector<uint8_t> &bytes) {
    read_result out;
    testing::internal::CaptureStderr();
    out.code =
        read_gltf_scene_bytes(&out.scene, bytes.data(), bytes.size(), nullptr, "out", &out.notes);
    out.err = testing::internal::GetCapturedStderr();
    return out;
}

read_result read_model(const gf::model &m) {
    return read_bytes(gf::glb(gf::build(m)));
}

// A unit quaternion (x, y, z, w) turning by degrees about the axis (x, y, z).
std::array<double, 4> turn(double degrees, double x, double y, double z) {
    const double half = degrees * M_PI / 360.0;
    return {x * std::sin(half), y * std::sin(half), z * std::sin(half), std::cos(half)};
}

// The point p through the column-major matrix m.
std::array<double, 3> apply(const float *m, std::array<double, 3> p) {
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12],
            m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

void expect_near3(std::array<double, 3> got, std::array<double, 3> want, const char *what) {
    for (size_t k = 0; k < 3; k++)
        EXPECT_NEAR(got[k], want[k], 1e-5) << what << " component " << k;
}

// ---- joints, vertices, triangles

TEST(gltf_scene_model, chain_gives_named_joints_single_weights_and_tkm_winding) {
    const read_result r = read_model(gf::chain_model(3));
    ASSERT_EQ(r.code, 0) << r.notes.error;
    const scene_model &s = r.scene;
    EXPECT_EQ(s.name, "mesh");
    ASSERT_EQ(s.joints.size(), 3u);
    for (size_t j = 0; j < 3; j++) {
        EXPECT_EQ(s.joints[j].name, "j" + std::to_string(j));
        EXPECT_EQ(s.joints[j].parent, int32_t(j) - 1);
        expect_near3(apply(s.joints[j].local, {0, 0, 0}), {j ? 1.0 : 0.0, 0, 0}, "joint origin");
    }
    ASSERT_EQ(s.vertices.size(), 9u);
    ASSERT_EQ(s.triangles.size(), 3u);
    for (size_t t = 0; t < 3; t++) {
        // glTF's corners a, b, c come in the order c, b, a.
        const float want[3][3] = {{float(t), 0, 1}, {float(t), 1, 0}, {float(t), 0, 0}};
        for (size_t k = 0; k < 3; k++) {
            const scene_vertex &v = s.vertices[s.triangles[t].corners[k].vertex];
            EXPECT_EQ(v.position[0], want[k][0]);
            EXPECT_EQ(v.position[1], want[k][1]);
            EXPECT_EQ(v.position[2], want[k][2]);
            ASSERT_EQ(v.num_weights, 1);
            EXPECT_EQ(v.weights[0].joint, t);
            EXPECT_EQ(v.weights[0].weight, 1.0f);
        }
    }
    ASSERT_EQ(s.groups.size(), 1u);
    EXPECT_EQ(s.groups[0].triangles.size(), 3u);
    EXPECT_FALSE(s.has_hit_colors);
    EXPECT_TRUE(s.attachments.empty());
}

TEST(gltf_scene_model, hundreds_of_joints_and_long_names_are_kept) {
    gf::model m = gf::chain_model(300);
    const std::string long_name(1000, 'n');
    m.joints[299].name = long_name;
    m.mesh_name = std::string(500, 'm');
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    ASSERT_EQ(r.scene.joints.size(), 300u);
    EXPECT_EQ(r.scene.joints[299].name, long_name);
    EXPECT_EQ(r.scene.name, m.mesh_name);
}

TEST(gltf_scene_model, duplicate_and_empty_joint_names_become_unique) {
    gf::model m = gf::chain_model(3);
    m.joints[1].name = "j0";
    m.joints[2].name = "";
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    EXPECT_EQ(r.scene.joints[0].name, "j0");
    EXPECT_EQ(r.scene.joints[1].name, "j0_2");
    EXPECT_EQ(r.scene.joints[2].name, "joint2");
}

struct name_case {
    const char *label;
    const char *mesh, *node, *scene, *want;
};

class gltf_scene_name : public testing::TestWithParam<name_case> {};

TEST_P(gltf_scene_name, comes_from_mesh_node_or_scene) {
    const name_case &c = GetParam();
    gf::document d = gf::build(gf::chain_model(1));
    d.doc["meshes"][0]["name"] = c.mesh;
    d.doc["nodes"][1]["name"] = c.node;
    d.doc["scenes"][0]["name"] = c.scene;
    const read_result r = read_bytes(gf::glb(d));
    ASSERT_EQ(r.code, 0) << r.notes.error;
    EXPECT_EQ(r.scene.name, c.want);
}

const name_case name_cases[] = {
    {"mesh_name", "Officer", "Body", "Scene", "Officer"},
    {"node_name", "", "Body", "Scene", "Body"},
    {"scene_name", "", "", "Scene", "Scene"},
    {"no_name", "", "", "", "glTF"},
};
INSTANTIATE_TEST_SUITE_P(cases, gltf_scene_name, testing::ValuesIn(name_cases),
                         [](const auto &info) { return std::string(info.param.label); });

// ---- weights

struct weight_case {
    const char *label;
    std::array<uint8_t, 4> joints;
    std::array<float, 4> weights;
    std::vector<std::pair<uint32_t, float>> want; // heaviest first
};

class gltf_scene_weights : public testing::TestWithParam<weight_case> {};

TEST_P(gltf_scene_weights, are_sorted_renormalised_and_thinned) {
    const weight_case &c = GetParam();
    gf::model m = gf::chain_model(4);
    for (gf::vertex &v : m.primitives[0].vertices)
        v.joints = c.joints, v.weights = c.weights;
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    const scene_vertex &v = r.scene.vertices[0];
    ASSERT_EQ(v.num_weights, c.want.size());
    float sum = 0;
    for (size_t k = 0; k < c.want.size(); k++) {
        EXPECT_EQ(v.weights[k].joint, c.want[k].first) << k;
        EXPECT_NEAR(v.weights[k].weight, c.want[k].second, 1e-6) << k;
        sum += v.weights[k].weight;
    }
    EXPECT_NEAR(sum, 1.0f, 1e-6);
    // Joints in their bind pose: every joint's share puts the vertex at its own place.
    EXPECT_EQ(v.position[0], 0.0f);
}

const weight_case weight_cases[] = {
    {"one_joint", {2, 0, 0, 0}, {1, 0, 0, 0}, {{2, 1.0f}}},
    {"heaviest_first", {1, 3, 0, 0}, {0.25f, 0.75f, 0, 0}, {{3, 0.75f}, {1, 0.25f}}},
    {"four_joints",
     {0, 1, 2, 3},
     {0.1f, 0.2f, 0.3f, 0.4f},
     {{3, 0.4f}, {2, 0.3f}, {1, 0.2f}, {0, 0.1f}}},
    {"sum_above_one", {0, 1, 0, 0}, {1.5f, 0.5f, 0, 0}, {{0, 0.75f}, {1, 0.25f}}},
    {"tiny_weight_dropped",
     {0, 1, 2, 0},
     {0.6f, 0.398f, 0.002f, 0},
     {{0, 0.6f / 0.998f}, {1, 0.398f / 0.998f}}},
    {"same_joint_twice_summed", {2, 2, 1, 0}, {0.3f, 0.3f, 0.4f, 0}, {{2, 0.6f}, {1, 0.4f}}},
    {"equal_weights_lower_joint_first", {3, 1, 0, 0}, {0.5f, 0.5f, 0, 0}, {{1, 0.5f}, {3, 0.5f}}},
};
INSTANTIATE_TEST_SUITE_P(cases, gltf_scene_weights, testing::ValuesIn(weight_cases),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(gltf_scene_model, second_weight_set_keeps_the_four_heaviest_joints) {
    gf::model m = gf::chain_model(6);
    for (gf::vertex &v : m.primitives[0].vertices)
        v.joints = {0, 1, 2, 3}, v.weights = {0.05f, 0.1f, 0.15f, 0.2f};
    gf::document d = gf::build(m);
    const size_t count = m.primitives[0].vertices.size();
    std::vector<uint8_t> joints;
    std::vector<float> weights;
    for (size_t i = 0; i < count; i++) {
        joints.insert(joints.end(), {4, 5, 0, 0});
        weights.insert(weights.end(), {0.25f, 0.25f, 0, 0});
    }
    json &attributes = d.doc["meshes"][0]["primitives"][0]["attributes"];
    attributes["JOINTS_1"] = d.add_accessor(joints, gf::unsigned_byte, "VEC4", 4);
    attributes["WEIGHTS_1"] = d.add_accessor(weights, gf::float_type, "VEC4", 4);
    const read_result r = read_bytes(gf::glb(d));
    ASSERT_EQ(r.code, 0) << r.notes.error;
    const scene_vertex &v = r.scene.vertices[0];
    ASSERT_EQ(v.num_weights, 4);
    const uint32_t want_joints[4] = {4, 5, 3, 2};
    const float want_weights[4] = {0.25f / 0.85f, 0.25f / 0.85f, 0.2f / 0.85f, 0.15f / 0.85f};
    for (size_t k = 0; k < 4; k++) {
        EXPECT_EQ(v.weights[k].joint, want_joints[k]);
        EXPECT_NEAR(v.weights[k].weight, want_weights[k], 1e-6);
    }
}

TEST(gltf_scene_model, vertices_split_at_seams_are_joined_unless_weights_differ) {
    gf::model m = gf::chain_model(2);
    gf::primitive extra = m.primitives[0];
    for (gf::vertex &v : extra.vertices)
        v.u = 0.5f; // the same places with other texture coordinates
    extra.vertices[0].joints = {0, 1, 0, 0};
    extra.vertices[0].weights = {0.5f, 0.5f, 0, 0};
    m.primitives.push_back(extra);
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    EXPECT_EQ(r.scene.vertices.size(), 7u);
    EXPECT_EQ(r.scene.triangles.size(), 4u);
    EXPECT_EQ(r.scene.groups.size(), 2u);
    EXPECT_EQ(r.scene.triangles[2].corners[0].uv[0], 0.5f);
}

// ---- hit colours

TEST(gltf_scene_model, hit_colours_come_back_from_export_encoding_in_either_attribute) {
    for (const char *attribute : {"_HIT_COLOR", "COLOR_0"}) {
        gf::model m = gf::chain_model(1);
        m.colour_attribute = attribute;
        gf::primitive &p = m.primitives[0];
        p.vertices.clear();
        for (int c = 0; c < 32; c++) // every 5-bit value once in each channel
            for (int k = 0; k < 3; k++) {
                gf::vertex v;
                v.x = float(c), v.y = float(k);
                const float value = float(c * 8) / 255.0f;
                v.colour = {value, float(31 - c) * 8 / 255.0f, value};
                p.vertices.push_back(v);
            }
        const read_result r = read_model(m);
        ASSERT_EQ(r.code, 0) << r.notes.error;
        EXPECT_TRUE(r.scene.has_hit_colors);
        ASSERT_EQ(r.scene.triangles.size(), 32u);
        for (uint16_t c = 0; c < 32; c++)
            for (const scene_corner &corner : r.scene.triangles[c].corners)
                EXPECT_EQ(corner.hit_color, uint16_t(c << 10 | (31 - c) << 5 | c))
                    << attribute << " value " << c;
    }
}

TEST(gltf_scene_model, hit_colour_attribute_wins_over_vertex_colours) {
    gf::model m = gf::chain_model(1);
    m.colour_attribute = "_HIT_COLOR";
    for (gf::vertex &v : m.primitives[0].vertices)
        v.colour = {1, 0, 0};
    gf::document d = gf::build(m);
    std::vector<float> colours;
    for (int i = 0; i < 3; i++)
        colours.insert(colours.end(), {0, 1, 0});
    d.doc["meshes"][0]["primitives"][0]["attributes"]["COLOR_0"] =
        d.add_accessor(colours, gf::float_type, "VEC3", 3);
    const read_result r = read_bytes(gf::glb(d));
    ASSERT_EQ(r.code, 0) << r.notes.error;
    EXPECT_EQ(r.scene.triangles[0].corners[0].hit_color, 31 << 10);
}

// ---- attachments

TEST(gltf_scene_model, nodes_on_joints_become_attachments_of_their_kind_in_name_order) {
    gf::model m = gf::chain_model(2);
    const auto quarter = turn(90, 0, 0, 1);
    // In an order of their own: they come back by name.
    m.attachments = {
        {"Hand", 1, {0, 0, 3}, {0, 0, 0, 1}, ""},
        {"", 0, {0, 0, 0}, {0, 0, 0, 1}, "something"},
        {"Grip2", 0, {1, 0, 0}, {0, 0, 0, 1}, "gripper"},
        {"Grip1", 1, {0, 2, 0}, {quarter[0], quarter[1], quarter[2], quarter[3]}, "grip"}};
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    const auto &a = r.scene.attachments;
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[0].name, "Grip1");
    EXPECT_EQ(a[0].kind, attachment_kind::grip);
    EXPECT_EQ(a[0].joint, 1u);
    expect_near3(apply(a[0].local, {0, 0, 0}), {0, 2, 0}, "grip origin");
    expect_near3(apply(a[0].local, {1, 0, 0}), {0, 3, 0}, "grip x axis turned onto y");
    EXPECT_EQ(a[1].kind, attachment_kind::gripper);
    EXPECT_EQ(a[1].joint, 0u);
    EXPECT_EQ(a[2].name, "Hand");
    EXPECT_EQ(a[2].kind, attachment_kind::unknown);
    expect_near3(apply(a[2].local, {0, 0, 0}), {0, 0, 3}, "unknown origin");
    EXPECT_EQ(a[3].kind, attachment_kind::unknown);
    EXPECT_FALSE(a[3].name.empty());
}

TEST(gltf_scene_model, children_of_the_mesh_or_of_other_nodes_are_no_attachments) {
    gf::model m = gf::chain_model(2);
    gf::document d = gf::build(m);
    d.doc["nodes"].push_back({{"name", "free"}});
    d.doc["nodes"].push_back({{"name", "under mesh"}});
    d.doc["nodes"][2]["children"] = {4};
    d.doc["scenes"][0]["nodes"].push_back(3);
    const read_result r = read_bytes(gf::glb(d));
    ASSERT_EQ(r.code, 0) << r.notes.error;
    EXPECT_TRUE(r.scene.attachments.empty());
}

// ---- texture file names

struct texture_case {
    const char *label;
    std::vector<std::string> image_names;
    bool jpeg;
    std::vector<std::string> want;
};

class gltf_scene_textures : public testing::TestWithParam<texture_case> {};

// The smallest bytes the reader takes for a 1 × 1 JPEG: start of image and a frame header.
std::vector<uint8_t> jpeg_header() {
    return {0xFF, 0xD8, 0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x01, 0x01, 0x01, 0x11};
}

TEST_P(gltf_scene_textures, keep_their_own_file_name_or_get_one_without_double_extension) {
    const texture_case &c = GetParam();
    gf::model m = gf::chain_model(1);
    m.materials.clear();
    for (size_t i = 0; i < c.image_names.size(); i++) {
        m.images.push_back({c.image_names[i], c.jpeg ? jpeg_header() : gf::png(1, 1, {1, 2, 3}), "",
                            c.jpeg ? "image/jpeg" : "image/png"});
        gf::material material;
        material.name = "m" + std::to_string(i);
        material.image = int(i);
        m.materials.push_back(material);
        if (i) m.primitives.push_back(m.primitives[0]);
        m.primitives[i].material = int(i);
    }
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    ASSERT_EQ(r.scene.images.size(), c.want.size());
    for (size_t i = 0; i < c.want.size(); i++) {
        EXPECT_EQ(r.scene.images[i].file_name, c.want[i]);
        EXPECT_EQ(r.scene.images[i].mime_type, c.jpeg ? "image/jpeg" : "image/png");
        EXPECT_EQ(r.scene.materials[i].texture, c.want[i]);
        EXPECT_EQ(r.scene.materials[i].image, int32_t(i));
    }
}

const texture_case texture_cases[] = {
    {"bmp_name_kept", {"swat_uniform.bmp"}, false, {"swat_uniform.bmp"}},
    {"tga_name_kept_in_its_case", {"swat_face.TGA"}, false, {"swat_face.TGA"}},
    {"png_name_kept", {"skin.png"}, false, {"skin.png"}},
    {"format_added_by_export_dropped", {"swat_uniform.bmp.png"}, false, {"swat_uniform.bmp"}},
    {"png_named_twice_once", {"skin.png.png"}, false, {"skin.png"}},
    {"jpeg_name_kept", {"photo.jpg.jpg"}, true, {"photo.jpg"}},
    {"plain_name_prefixed", {"skin"}, false, {"out_skin.png"}},
    {"jpeg_bytes_named_jpg", {"photo"}, true, {"out_photo.jpg"}},
    {"other_extension_dropped", {"skin.gif"}, false, {"out_skin.png"}},
    {"no_name", {""}, false, {"out_image0.png"}},
    {"directories_dropped", {"textures\\swat_face.tga"}, false, {"swat_face.tga"}},
    {"unsafe_characters_replaced", {"my face.bmp"}, false, {"my_face.bmp"}},
    {"same_name_twice", {"skin.bmp", "SKIN.bmp"}, false, {"skin.bmp", "SKIN_2.bmp"}},
};
INSTANTIATE_TEST_SUITE_P(cases, gltf_scene_textures, testing::ValuesIn(texture_cases),
                         [](const auto &info) { return std::string(info.param.label); });

// ---- animations

TEST(gltf_scene_model, channels_become_tracks_with_their_interpolation) {
    gf::model m = gf::chain_model(3);
    const auto q = turn(30, 0, 1, 0);
    const std::vector<float> rotation = {0,           0,           0,           1,
                                         float(q[0]), float(q[1]), float(q[2]), float(q[3])};
    std::vector<float> cubic;
    for (int key = 0; key < 2; key++) {
        cubic.insert(cubic.end(), {0, 0, 0, 0}); // in-tangent
        cubic.insert(cubic.end(), rotation.begin() + 4 * key, rotation.begin() + 4 * key + 4);
        cubic.insert(cubic.end(), {0, 0, 0, 0}); // out-tangent
    }
    m.clips = {{"walk",
                {{1, "rotation", "LINEAR", {0, 0.5f}, rotation},
                 {1, "translation", "STEP", {0, 0.25f, 0.5f}, {1, 0, 0, 1, 1, 0, 1, 2, 0}},
                 {2, "rotation", "CUBICSPLINE", {0, 1}, cubic},
                 {2, "scale", "LINEAR", {0.1f}, {2, 2, 2}}}},
               {"", {{0, "rotation", "LINEAR", {0}, {0, 0, 0, 1}}}}};
    const read_result r = read_model(m);
    ASSERT_EQ(r.code, 0) << r.notes.error;
    EXPECT_EQ(r.notes.num_animations, 2u);
    ASSERT_EQ(r.scene.animations.size(), 2u);
    const scene_animation &walk = r.scene.animations[0];
    EXPECT_EQ(walk.name, "walk");
    ASSERT_EQ(walk.tracks.size(), 2u);
    EXPECT_EQ(walk.tracks[0].joint, 1u);
    EXPECT_EQ(walk.tracks[0].rotation.interpolation, scene_interpolation::linear);
    EXPECT_EQ(walk.tracks[0].rotation.times, (std::vector<float>{0, 0.5f}));
    EXPECT_EQ(walk.tracks[0].rotation.values, rotation);
    EXPECT_EQ(walk.tracks[0].translation.interpolation, scene_interpolation::step);
    EXPECT_EQ(walk.tracks[0].translation.times.size(), 3u);
    EXPECT_EQ(walk.tracks[0].translation.values[7], 2.0f);
    EXPECT_TRUE(walk.tracks[0].scale.times.empty());
    EXPECT_EQ(walk.tracks[1].joint, 2u);
    EXPECT_EQ(walk.tracks[1].rotation.interpolation, scene_interpolation::cubic_spline);
    EXPECT_EQ(walk.tracks[1].rotation.values, cubic);
    EXPECT_EQ(walk.tracks[1].scale.values, (std::vector<float>{2, 2, 2}));
    EXPECT_EQ(r.scene.animations[1].name, "animation1");
    ASSERT_EQ(r.scene.animations[1].tracks.size(), 1u);
    EXPECT_EQ(r.scene.animations[1].tracks[0].joint, 0u);
}

TEST(gltf_scene_model, keys_of_a_root_under_a_turned_node_are_taken_into_model_space) {
    gf::model m = gf::chain_model(2);
    const auto key = turn(40, 0, 0, 1);
    m.clips = {{"turn",
                {{0,
                  "rotation",
                  "LINEAR",
                  {0},
                  {float(key[0]), float(key[1]), float(key[2]), float(key[3])}},
                 {0, "translation", "LINEAR", {0}, {1, 2, 3}}}}};
    gf::document d = gf::build(m);
    // An armature node above the root joint, turned 90 degrees about x and moved up by 5.
    const auto up = turn(90, 1, 0, 0);
    d.doc["nodes"].push_back({{"name", "Armature"},
                              {"children", {0}},
                              {"rotation", {up[0], up[1], up[2], up[3]}},
                              {"translation", {0, 5, 0}}});
    d.doc["scenes"][0]["nodes"] = {3, 2};
    const read_result r = read_bytes(gf::glb(d));
    ASSERT_EQ(r.code, 0) << r.notes.error;
    const scene_track &track = r.scene.animations[0].tracks[0];
    // The key (1, 2, 3) lies at (1, -3, 2) after the turn about x, then 5 higher.
    ASSERT_EQ(track.translation.values.size(), 3u);
    EXPECT_NEAR(track.translation.values[0], 1, 1e-5);
    EXPECT_NEAR(track.translation.values[1], 2, 1e-5);
    EXPECT_NEAR(track.translation.values[2], 2, 1e-5);
    // The rotation key follows the armature's turn: x turns onto where the turned z axis takes it.
    const double s = std::sqrt(0.5);
    const double want[4] = {s * key[3], -s * key[2], s * key[2], s * key[3]};
    for (size_t k = 0; k < 4; k++)
        EXPECT_NEAR(track.rotation.values[k], want[k], 1e-5) << k;
    // The root joint's bind pose carries the same turn.
    expect_near3(apply(r.scene.joints[0].local, {0, 0, 1}), {0, 4, 0}, "root z axis");
}

// ---- bad animations

struct bad_animation_case {
    const char *label;
    std::function<void(gf::model &)> change;
    const char *message;
};

class gltf_scene_bad_animation : public testing::TestWithParam<bad_animation_case> {};

TEST_P(gltf_scene_bad_animation, is_refused_with_a_reason) {
    const bad_animation_case &c = GetParam();
    gf::model m = gf::chain_model(2);
    m.clips = {{"clip", {{1, "rotation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0, 0, 1}}}}};
    c.change(m);
    const read_result r = read_model(m);
    EXPECT_EQ(r.code, gltf_bad_animation);
    EXPECT_NE(r.notes.error.find(c.message), std::string::npos) << r.notes.error;
    EXPECT_NE(r.notes.error.find("animation 0 ('clip')"), std::string::npos) << r.notes.error;
}

const float not_a_number = std::numeric_limits<float>::quiet_NaN();
const float infinity = std::numeric_limits<float>::infinity();

const bad_animation_case bad_animation_cases[] = {
    {"channel_on_the_mesh_node", [](gf::model &m) { m.clips[0].channels[0].node = 2; },
     "moves node 2 ('mesh'), which is not a joint of the skin"},
    {"fewer_values_than_times",
     [](gf::model &m) {
         m.clips[0].channels[0].times = {0, 1, 2};
     },
     "has 3 key times but 2 values (3 expected)"},
    {"cubic_without_tangents",
     [](gf::model &m) { m.clips[0].channels[0].interpolation = "CUBICSPLINE"; },
     "has 2 key times but 2 values (6 expected)"},
    {"times_standing_still",
     [](gf::model &m) {
         m.clips[0].channels[0].times = {1, 1};
     },
     "key times that do not increase"},
    {"times_going_back",
     [](gf::model &m) {
         m.clips[0].channels[0].times = {1, 0.5f};
     },
     "key times that do not increase"},
    {"time_not_a_number", [](gf::model &m) { m.clips[0].channels[0].times[1] = not_a_number; },
     "not a finite number"},
    {"infinite_key", [](gf::model &m) { m.clips[0].channels[0].values[5] = infinity; },
     "not a finite number"},
    {"unknown_interpolation", [](gf::model &m) { m.clips[0].channels[0].interpolation = "SMOOTH"; },
     "interpolation \"SMOOTH\""},
    {"property_moved_twice",
     [](gf::model &m) { m.clips[0].channels.push_back(m.clips[0].channels[0]); },
     "moves the rotation of node 1 a second time"},
};
INSTANTIATE_TEST_SUITE_P(cases, gltf_scene_bad_animation, testing::ValuesIn(bad_animation_cases),
                         [](const auto &info) { return std::string(info.param.label); });

} // namespace
