// SPDX-License-Identifier: MIT
// Milkshape 1.8's optional blocks after the joints: read, refused when broken, and the extra bone
// weights turned into the neutral model's weights as the format shares them out (the own bone
// takes weights[0], bone_ids[0] and [1] take weights[1] and [2], bone_ids[2] what is left of the
// maximum: 255 in sub-version 1, 100 from sub-version 2 on).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "ms3d_test.h"
#include "viewer/formats/model_load.h"
#include "viewer/ms3d/ms3d_load.h"
#include "viewer/ms3d/ms3d_extras.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/scene/scene.h"

namespace fx = ms3d_fixture;

namespace {

// Two joints, two triangles (vertices 0-2 on j0, 3-5 on j1), and all four optional blocks.
fx::model extras_model() {
    fx::model m = fx::chain_model(2);
    fx::extras &x = m.extra;
    x.blocks = 4;
    x.group_comments = {{0, "the body"}};
    x.joint_comments = {{1, "elbow"}, {0, ""}};
    x.has_model_comment = true;
    x.model_comment = "made in code";
    x.vertices.resize(m.vertices.size());
    x.joint_color[1] = 0.25f;
    x.joint_size = 0.75f;
    x.transparency_mode = 2;
    x.alpha_ref = 0.125f;
    return m;
}

TEST(ms3d_extras, every_block_is_read_and_a_file_may_end_before_any_of_them) {
    for (int32_t sub_version : {1, 2, 3}) {
        fx::model fixture = extras_model();
        fixture.extra.vertex_sub_version = sub_version;
        fixture.extra.vertices[2] = {{1, -1, -1}, {20, 30, 40}, {7, 8}};
        model_ptr m = read_fixture(fixture);
        const ms3d_extras &x = m->extras;
        EXPECT_EQ(x.comments_sub_version, 1);
        EXPECT_EQ(x.num_group_comments, 1u);
        EXPECT_EQ(x.num_material_comments, 0u);
        EXPECT_EQ(x.num_joint_comments, 2u);
        EXPECT_EQ(x.has_model_comment, 1u);
        EXPECT_EQ(x.vertex_sub_version, sub_version);
        ASSERT_NE(x.vertices, nullptr);
        EXPECT_EQ(x.vertices[2].bone_ids[0], 1);
        EXPECT_EQ(x.vertices[2].bone_ids[1], -1);
        EXPECT_EQ(x.vertices[2].weights[2], 40);
        // The numbers after the weights differ in count by sub-version: the later blocks are
        // only found where that count was right.
        EXPECT_EQ(x.vertices[2].extra[0], sub_version >= 2 ? 7u : 0u);
        EXPECT_EQ(x.vertices[2].extra[1], sub_version >= 3 ? 8u : 0u);
        ASSERT_NE(x.joint_colors, nullptr);
        EXPECT_EQ(x.joint_colors[1][1], 0.25f);
        EXPECT_EQ(x.joint_size, 0.75f);
        EXPECT_EQ(x.transparency_mode, 2);
        EXPECT_EQ(x.alpha_ref, 0.125f);
    }
    // Ending where a block would start is a file of an older Milkshape: no error.
    const fx::writer w = fx::write(extras_model());
    for (const fx::field &f : w.fields) {
        if (f.code < ms3d_bad_comments) continue;
        int code = -100;
        model_ptr m = read_bytes({w.bytes.begin(), w.bytes.begin() + long(f.offset)}, &code);
        EXPECT_EQ(code, 0) << "ends before block " << f.code;
        EXPECT_EQ(m->extras.model_sub_version, 0);
    }
}

// Every cut inside a block, at every byte, gives that block's code; a huge comment length is a
// cut too (skipped, never allocated).
TEST(ms3d_extras, a_file_cut_inside_a_block_gives_that_blocks_code) {
    const fx::writer w = fx::write(extras_model());
    int checked = 0;
    for (size_t i = 0; i < w.fields.size(); i++) {
        const fx::field &f = w.fields[i];
        if (f.code < ms3d_bad_comments) continue;
        const size_t end = i + 1 < w.fields.size() ? w.fields[i + 1].offset : w.bytes.size();
        for (size_t at = f.offset + 1; at < end; at++) {
            int code = 0;
            model_ptr m = read_bytes({w.bytes.begin(), w.bytes.begin() + long(at)}, &code);
            EXPECT_EQ(code, f.code) << "cut at " << at;
        }
        checked++;
    }
    EXPECT_EQ(checked, 4);
    fx::model huge = extras_model();
    huge.extra.blocks = 1;
    std::vector<uint8_t> bytes = fx::bytes(huge);
    const std::string text = "made in code";
    // The model comment's length field sits just before its text, at the very end.
    const size_t length_at = bytes.size() - text.size() - 4;
    const uint32_t length = 0x7fffffff;
    std::memcpy(&bytes[length_at], &length, 4);
    int code = 0;
    read_bytes(bytes, &code);
    EXPECT_EQ(code, ms3d_bad_comments);
}

// One field of an otherwise sound file made inconsistent.
struct broken_block {
    const char *what;
    void (*spoil)(fx::model &);
    int code;
};

TEST(ms3d_extras, inconsistent_blocks_are_refused_with_their_code) {
    const broken_block cases[] = {
        {"comments sub-version 2", [](fx::model &m) { m.extra.comments_sub_version = 2; },
         ms3d_bad_comments},
        {"group comment about group 1 of 1",
         [](fx::model &m) { m.extra.group_comments[0].index = 1; }, ms3d_bad_comments},
        {"joint comment about joint -1", [](fx::model &m) { m.extra.joint_comments[1].index = -1; },
         ms3d_bad_comments},
        {"vertex extras sub-version 0", [](fx::model &m) { m.extra.vertex_sub_version = 0; },
         ms3d_bad_vertex_extras},
        {"vertex extras sub-version 4", [](fx::model &m) { m.extra.vertex_sub_version = 4; },
         ms3d_bad_vertex_extras},
        {"joint extras sub-version 3", [](fx::model &m) { m.extra.joint_sub_version = 3; },
         ms3d_bad_joint_extras},
        {"model extras sub-version -1", [](fx::model &m) { m.extra.model_sub_version = -1; },
         ms3d_bad_model_extras},
    };
    for (const broken_block &c : cases) {
        fx::model m = extras_model();
        c.spoil(m);
        int code = 0;
        read_bytes(fx::bytes(m), &code);
        EXPECT_EQ(code, c.code) << c.what;
    }
    // A model comment flag other than 0 or 1 has no count of texts to follow.
    std::vector<uint8_t> bytes = fx::bytes(extras_model());
    const fx::writer w = fx::write(extras_model());
    const size_t vertex_block =
        std::find_if(w.fields.begin(), w.fields.end(), [](const fx::field &f) {
            return f.code == ms3d_bad_vertex_extras;
        })->offset;
    const size_t flag_at = vertex_block - std::strlen("made in code") - 8;
    bytes[flag_at] = 2;
    int code = 0;
    read_bytes(bytes, &code);
    EXPECT_EQ(code, ms3d_bad_comments);
    // The message names the block.
    fx::temp_file file(bytes);
    mesh_ptr mesh(create_mesh());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    scene_model scene;
    model_read_notes notes;
    EXPECT_EQ(load_model_mesh(file.path.c_str(), mesh.get(), &scene, &notes), ms3d_bad_comments);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error loading Milkshape model: 57 (its comments block is truncated or "
              "inconsistent)\n");
}

// A vertex's extras and the shares of its bones that the format gives, written out by hand.
struct weight_case {
    const char *what;
    int32_t sub_version;
    fx::vertex_extra extra;
    std::vector<std::pair<uint32_t, float>> shares; // joint, share; heaviest first
};

TEST(ms3d_extras, weights_are_shared_out_as_the_format_says) {
    // Vertex 4 is on j1 of a chain of four joints.
    const weight_case cases[] = {
        {"all zero: the own bone alone", 2, {{2, 3, -1}, {0, 0, 0}, {0, 0}}, {{1, 1.0f}}},
        {"four bones out of 100",
         2,
         {{0, 2, 3}, {40, 30, 20}, {0, 0}},
         {{1, 0.4f}, {0, 0.3f}, {2, 0.2f}, {3, 0.1f}}},
        {"the rest to the third id, out of 255",
         1,
         {{-1, -1, 3}, {51, 0, 0}, {0, 0}},
         {{3, 0.8f}, {1, 0.2f}}},
        {"sub-version 3 like 2", 3, {{2, -1, -1}, {70, 30, 0}, {5, 6}}, {{1, 0.7f}, {2, 0.3f}}},
        {"all zero beside a third id: still the own bone alone",
         2,
         {{-1, -1, 2}, {0, 0, 0}, {0, 0}},
         {{1, 1.0f}}},
        {"a zero share is no bone", 2, {{0, -1, 2}, {50, 0, 0}, {0, 0}}, {{1, 0.5f}, {2, 0.5f}}},
    };
    for (const weight_case &c : cases) {
        fx::model m = fx::chain_model(4);
        m.extra.blocks = 2;
        m.extra.vertex_sub_version = c.sub_version;
        m.extra.vertices.resize(m.vertices.size());
        m.extra.vertices[4] = c.extra;
        model_ptr model = read_fixture(m);
        EXPECT_EQ(ms3d_weighted_vertices(model.get()), c.shares.size() > 1 ? 1u : 0u) << c.what;
        scene_model scene;
        ASSERT_EQ(ms3d_to_scene(model.get(), &scene, true), 0) << c.what;
        const scene_vertex &v = scene.vertices[4];
        ASSERT_EQ(v.num_weights, c.shares.size()) << c.what;
        for (size_t k = 0; k < c.shares.size(); k++) {
            EXPECT_EQ(v.weights[k].joint, c.shares[k].first) << c.what << " " << k;
            EXPECT_NEAR(v.weights[k].weight, c.shares[k].second, 1e-6f) << c.what << " " << k;
        }
        // Without weights the vertex stays on its own bone whatever its extras say.
        scene_model plain;
        ASSERT_EQ(ms3d_to_scene(model.get(), &plain, false), 0) << c.what;
        ASSERT_EQ(plain.vertices[4].num_weights, 1) << c.what;
        EXPECT_EQ(plain.vertices[4].weights[0].joint, 1u) << c.what;
    }
}

TEST(ms3d_extras, weights_that_cannot_be_used_fail_the_weighted_conversion_only) {
    const struct {
        const char *what;
        fx::vertex_extra extra;
        const char *message;
    } cases[] = {
        {"a bone id past the joints",
         {{1, 4, -1}, {10, 10, 10}, {0, 0}},
         "Milkshape vertex extras: vertex 4 names a bone beyond the 4 joints.  Can't use its "
         "weights!\n"},
        {"weights over 100",
         {{0, 2, 3}, {50, 40, 11}, {0, 0}},
         "Milkshape vertex extras: the weights of vertex 4 sum to more than 100.  Can't use its "
         "weights!\n"},
    };
    for (const auto &c : cases) {
        fx::model m = fx::chain_model(4);
        m.extra.blocks = 2;
        m.extra.vertices.resize(m.vertices.size());
        m.extra.vertices[4] = c.extra;
        fx::temp_file file(fx::bytes(m));
        ms3d_load_options options;
        options.weights = true;
        scene_model scene;
        testing::internal::CaptureStderr();
        EXPECT_NE(load_ms3d_scene(file.path.c_str(), &scene, nullptr, &options), 0) << c.what;
        EXPECT_NE(testing::internal::GetCapturedStderr().find(c.message), std::string::npos)
            << c.what;
        EXPECT_EQ(options.num_weighted, 0u) << c.what << ": unusable weights are not counted";
        scene_model plain;
        EXPECT_EQ(load_ms3d_scene(file.path.c_str(), &plain, nullptr), 0) << c.what;
    }
}

} // namespace
