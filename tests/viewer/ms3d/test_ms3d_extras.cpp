// SPDX-License-Identifier: MIT
// Milkshape 1.8's optional blocks after the joints: read, refused when broken, and the extra bone
// weights turned into the neutral model's weights as the format shares them out (the own bone
// takes weights[0], bone_ids[0] and [1] take weights[1] and [2], bone_ids[2] what is left of the
// maximum: 255 in sub-version 1, 100 from sub-version 2 on).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
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

// The block of the file that the writer marked with code: its first octet and the one after it.
std::pair<size_t, size_t> block_span(const fx::writer &w, int code) {
    for (size_t i = 0; i < w.fields.size(); i++)
        if (w.fields[i].code == code)
            return {w.fields[i].offset,
                    i + 1 < w.fields.size() ? w.fields[i + 1].offset : w.bytes.size()};
    return {0, 0};
}

// Where the value that holds octet at starts: a read cut there stops making sense at that value.
size_t value_holding(const fx::writer &w, size_t at) {
    size_t start = 0;
    for (size_t v : w.values)
        if (v <= at) start = v;
    return start;
}

// What of each block a lenient read kept: the sub-versions and the arrays the blocks own.
void expect_kept_before(const ms3d_extras &x, int stopped, const std::string &what) {
    EXPECT_EQ(x.comments_sub_version != 0, stopped > ms3d_bad_comments) << what;
    EXPECT_EQ(x.num_group_comments != 0, stopped > ms3d_bad_comments) << what;
    EXPECT_EQ(x.vertex_sub_version != 0, stopped > ms3d_bad_vertex_extras) << what;
    EXPECT_EQ(x.vertices != nullptr, stopped > ms3d_bad_vertex_extras) << what;
    EXPECT_EQ(x.joint_sub_version != 0, stopped > ms3d_bad_joint_extras) << what;
    EXPECT_EQ(x.joint_colors != nullptr, stopped > ms3d_bad_joint_extras) << what;
    EXPECT_EQ(x.model_sub_version, 0) << what;
    EXPECT_EQ(x.joint_size, 0.0f) << what;
}

// Every cut inside a block, at every byte: read strictly it gives that block's code; read
// leniently it succeeds, keeps the blocks before, leaves out the cut one (nothing half-filled)
// and says where the block stopped making sense. A huge comment length is a cut too (skipped,
// never allocated).
TEST(ms3d_extras, a_file_cut_inside_a_block_gives_that_blocks_code_or_stops_there) {
    const fx::writer w = fx::write(extras_model());
    int checked = 0;
    for (int block = ms3d_bad_comments; block <= ms3d_bad_model_extras; block++) {
        const auto [begin, end] = block_span(w, block);
        ASSERT_LT(begin, end) << block;
        for (size_t at = begin + 1; at < end; at++) {
            const std::vector<uint8_t> cut(w.bytes.begin(), w.bytes.begin() + long(at));
            const std::string what =
                "block " + std::to_string(block) + " cut at " + std::to_string(at);
            int code = 0;
            read_bytes(cut, &code, ms3d_extras_strict);
            EXPECT_EQ(code, block) << what;
            code = -100;
            model_ptr m = read_bytes(cut, &code, ms3d_extras_lenient);
            EXPECT_EQ(code, 0) << what;
            EXPECT_EQ(m->extras.stopped_block, block) << what;
            EXPECT_EQ(m->extras.stopped_at, int64_t(value_holding(w, at))) << what;
            expect_kept_before(m->extras, block, what);
            checked++;
        }
    }
    EXPECT_GT(checked, 100);
    fx::model huge = extras_model();
    huge.extra.blocks = 1;
    const fx::writer h = fx::write(huge);
    std::vector<uint8_t> bytes = h.bytes;
    // The model comment's length and text are the last two values of the block.
    const size_t length_at = h.values[h.values.size() - 2];
    const uint32_t length = 0x7fffffff;
    std::memcpy(&bytes[length_at], &length, 4);
    int code = 0;
    read_bytes(bytes, &code, ms3d_extras_strict);
    EXPECT_EQ(code, ms3d_bad_comments);
    model_ptr m = read_bytes(bytes, &code, ms3d_extras_lenient);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(m->extras.stopped_block, ms3d_bad_comments);
    EXPECT_EQ(m->extras.stopped_at, int64_t(h.values.back()));
}

// One field of an otherwise sound file made inconsistent; value is the index, among the values
// of that block, of the one that no longer makes sense.
struct broken_block {
    const char *what;
    void (*spoil)(fx::model &);
    int code;
    size_t value;
};

// The nth value of the block marked with code.
size_t nth_value(const fx::writer &w, int code, size_t n) {
    const size_t begin = block_span(w, code).first;
    size_t first = 0;
    while (first < w.values.size() && w.values[first] < begin)
        first++;
    return w.values[first + n];
}

TEST(ms3d_extras, inconsistent_blocks_are_refused_with_their_code_or_left_out) {
    // The values of extras_model's comments block: sub-version (0); group comments: count (1),
    // index (2), length (3), text (4); material comments: count (5); joint comments: count (6),
    // then index, length, text twice (7 to 12); model comment flag (13), length, text.
    const broken_block cases[] = {
        {"comments sub-version 2", [](fx::model &m) { m.extra.comments_sub_version = 2; },
         ms3d_bad_comments, 0},
        {"group comment about group 1 of 1",
         [](fx::model &m) { m.extra.group_comments[0].index = 1; }, ms3d_bad_comments, 2},
        {"joint comment about joint -1", [](fx::model &m) { m.extra.joint_comments[1].index = -1; },
         ms3d_bad_comments, 10},
        {"vertex extras sub-version 0", [](fx::model &m) { m.extra.vertex_sub_version = 0; },
         ms3d_bad_vertex_extras, 0},
        {"vertex extras sub-version 4", [](fx::model &m) { m.extra.vertex_sub_version = 4; },
         ms3d_bad_vertex_extras, 0},
        {"joint extras sub-version 3", [](fx::model &m) { m.extra.joint_sub_version = 3; },
         ms3d_bad_joint_extras, 0},
        {"model extras sub-version -1", [](fx::model &m) { m.extra.model_sub_version = -1; },
         ms3d_bad_model_extras, 0},
    };
    for (const broken_block &c : cases) {
        fx::model m = extras_model();
        c.spoil(m);
        const fx::writer w = fx::write(m);
        int code = 0;
        read_bytes(w.bytes, &code, ms3d_extras_strict);
        EXPECT_EQ(code, c.code) << c.what;
        model_ptr lenient = read_bytes(w.bytes, &code, ms3d_extras_lenient);
        EXPECT_EQ(code, 0) << c.what;
        EXPECT_EQ(lenient->extras.stopped_block, c.code) << c.what;
        EXPECT_EQ(lenient->extras.stopped_at, int64_t(nth_value(w, c.code, c.value))) << c.what;
        expect_kept_before(lenient->extras, c.code, c.what);
    }
    // A model comment flag other than 0 or 1 has no count of texts to follow.
    const fx::writer w = fx::write(extras_model());
    std::vector<uint8_t> bytes = w.bytes;
    const size_t flag_at = nth_value(w, ms3d_bad_comments, 13);
    bytes[flag_at] = 2;
    int code = 0;
    read_bytes(bytes, &code, ms3d_extras_strict);
    EXPECT_EQ(code, ms3d_bad_comments);
    model_ptr m = read_bytes(bytes, &code, ms3d_extras_lenient);
    EXPECT_EQ(m->extras.stopped_at, int64_t(flag_at));
}

// What a load of a Milkshape file printed and gave.
struct loaded {
    int result = -100;
    std::string err;
    scene_model scene;
};

loaded load_file(const std::vector<uint8_t> &bytes, bool weights, std::string *path = nullptr) {
    fx::temp_file file(bytes);
    if (path) *path = file.path;
    ms3d_load_options options;
    options.weights = weights;
    loaded l;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    l.result = load_ms3d_scene(file.path.c_str(), &l.scene, nullptr, &options);
    testing::internal::GetCapturedStdout();
    l.err = testing::internal::GetCapturedStderr();
    return l;
}

std::string note(const std::string &path, const char *block, size_t octet) {
    return "Milkshape model " + path + ": its " + block +
           " block is truncated or inconsistent at octet " + std::to_string(octet) +
           "; it and the rest of the file are ignored\n";
}

std::string refusal(int code, const char *block) {
    return "Error loading Milkshape model: " + std::to_string(code) + " (its " + block +
           " block is truncated or inconsistent)\n";
}

// A chain of four joints with all four blocks, vertex 4 giving 40 of its 100 to j2.
fx::model weighted_chain() {
    fx::model m = fx::chain_model(4);
    m.extra.blocks = 4;
    m.extra.vertices.resize(m.vertices.size());
    m.extra.vertices[4] = {{2, -1, -1}, {60, 40, 0}, {0, 0}};
    return m;
}

// A load reads the blocks leniently with one note; the weights need the vertex extras and are
// refused as before when a bad block hides them, but not for a bad block after them.
TEST(ms3d_extras, a_load_notes_a_bad_block_and_the_weights_need_only_the_vertex_extras) {
    const struct {
        const char *what;
        void (*spoil)(fx::model &);
        int code;
        const char *block;
    } cases[] = {
        {"comments", [](fx::model &m) { m.extra.comments_sub_version = 7; }, ms3d_bad_comments,
         "comments"},
        {"vertex extras", [](fx::model &m) { m.extra.vertex_sub_version = 9; },
         ms3d_bad_vertex_extras, "vertex extras"},
        {"joint extras", [](fx::model &m) { m.extra.joint_sub_version = 0; }, ms3d_bad_joint_extras,
         "joint extras"},
        {"model extras", [](fx::model &m) { m.extra.model_sub_version = 3; }, ms3d_bad_model_extras,
         "model extras"},
    };
    for (const auto &c : cases) {
        fx::model m = weighted_chain();
        c.spoil(m);
        const fx::writer w = fx::write(m);
        const size_t octet = block_span(w, c.code).first;
        std::string path;
        loaded plain = load_file(w.bytes, false, &path);
        EXPECT_EQ(plain.result, 0) << c.what;
        EXPECT_EQ(plain.err, note(path, c.block, octet)) << c.what;
        ASSERT_EQ(plain.scene.vertices.size(), 12u) << c.what;
        EXPECT_EQ(plain.scene.vertices[4].num_weights, 1) << c.what;
        loaded weighted = load_file(w.bytes, true, &path);
        const bool hidden = c.code <= ms3d_bad_vertex_extras;
        EXPECT_EQ(weighted.result, hidden ? c.code : 0) << c.what;
        EXPECT_EQ(weighted.err, hidden ? refusal(c.code, c.block) : note(path, c.block, octet))
            << c.what;
        if (!hidden) {
            ASSERT_EQ(weighted.scene.vertices.size(), 12u) << c.what;
            EXPECT_EQ(weighted.scene.vertices[4].num_weights, 2) << c.what;
        }
    }
    // Without any vertex extras the weights are each vertex's own bone, as before.
    for (int blocks : {0, 1}) {
        fx::model m = weighted_chain();
        m.extra.blocks = blocks;
        loaded l = load_file(fx::bytes(m), true);
        EXPECT_EQ(l.result, 0) << blocks;
        EXPECT_EQ(l.err, "") << blocks;
        ASSERT_EQ(l.scene.vertices.size(), 12u);
        EXPECT_EQ(l.scene.vertices[4].num_weights, 1);
        EXPECT_EQ(l.scene.vertices[4].weights[0].joint, 1u);
    }
}

// A Milkshape 1.8 file whose joint count was lowered by one while its trailer stayed: the last
// joint's bytes are read as a comments block. The model converts; its weights cannot be had.
TEST(ms3d_extras, a_lowered_joint_count_leaves_the_trailer_out) {
    fx::model m = weighted_chain();
    for (fx::vertex &v : m.vertices)
        if (v.bone == 3) v.bone = 2; // the joint given up moves nothing
    fx::writer w = fx::write(m);
    size_t count_at = 0, last_joint = 0;
    for (const fx::field &f : w.fields) {
        if (f.code == ms3d_code_num_joints) count_at = f.offset;
        if (f.code == ms3d_code_joint_flags) last_joint = f.offset;
    }
    const uint16_t three = 3;
    std::memcpy(&w.bytes[count_at], &three, 2);
    std::string path;
    loaded plain = load_file(w.bytes, false, &path);
    EXPECT_EQ(plain.result, 0);
    EXPECT_EQ(plain.err, note(path, "comments", last_joint));
    EXPECT_EQ(plain.scene.joints.size(), 3u);
    EXPECT_EQ(count_of(plain.err, "\n"), 1) << "one line";
    loaded weighted = load_file(w.bytes, true);
    EXPECT_EQ(weighted.result, ms3d_bad_comments);
    EXPECT_EQ(weighted.err, refusal(ms3d_bad_comments, "comments"));
}

// Bytes after the joints that are no block at all: left out from where they start.
TEST(ms3d_extras, a_trailer_of_garbage_is_left_out) {
    const fx::model m = fx::chain_model(2);
    const std::vector<uint8_t> core = fx::bytes(m);
    // Each trailer and the octet, counted from its start, where it stops making sense.
    const std::vector<std::pair<std::vector<uint8_t>, size_t>> trailers = {
        {{0xde, 0xad, 0xbe}, 0},
        {{0xff, 0xff, 0xff, 0xff, 0x12, 0x34}, 0},
        {{'j', 'u', 'n', 'k', ' ', 'b', 'y', 't', 'e', 's', 0, 0, 0, 0, 0, 0}, 0},
        // A sound sub-version and a count of group comments the file cannot hold: the first
        // comment's index, after the two, is missing.
        {{1, 0, 0, 0, 0x40, 0x42, 0x0f, 0}, 8},
    };
    for (const auto &[trailer, stop] : trailers) {
        std::vector<uint8_t> bytes = core;
        bytes.insert(bytes.end(), trailer.begin(), trailer.end());
        const std::string what = "trailer of " + std::to_string(trailer.size());
        std::string path;
        loaded l = load_file(bytes, false, &path);
        EXPECT_EQ(l.result, 0) << what;
        EXPECT_EQ(l.err, note(path, "comments", core.size() + stop)) << what;
        EXPECT_EQ(l.scene.vertices.size(), 6u) << what;
    }
}

// The shares of its joints that a vertex on bone own gets from its extras, summed per joint, by
// the format's rule: the own bone takes weights[0], bone_ids[0] and [1] take weights[1] and [2],
// bone_ids[2] what is left of the maximum (255 in sub-version 1, else 100); ids of -1 are no
// joint; all three weights zero, or nothing left on any joint, is the own bone alone.
std::map<uint32_t, double> format_shares(int own, const fx::vertex_extra &x, int32_t sub_version) {
    const int maximum = sub_version == 1 ? 255 : 100;
    const int given[4] = {x.weights[0], x.weights[1], x.weights[2],
                          maximum - x.weights[0] - x.weights[1] - x.weights[2]};
    const int ids[4] = {own, x.bone_ids[0], x.bone_ids[1], x.bone_ids[2]};
    std::map<uint32_t, double> raw;
    double total = 0;
    if (given[0] || given[1] || given[2])
        for (int k = 0; k < 4; k++)
            if (ids[k] >= 0 && given[k] > 0) {
                raw[uint32_t(ids[k])] += given[k];
                total += given[k];
            }
    if (raw.empty()) return {{uint32_t(own), 1.0}};
    for (auto &share : raw)
        share.second /= total;
    return raw;
}

struct weight_case {
    const char *what;
    int32_t sub_version;
    fx::vertex_extra extra;
};

TEST(ms3d_extras, weights_are_shared_out_as_the_format_says) {
    // Vertex 4 is on j1 of a chain of four joints.
    const weight_case cases[] = {
        {"all zero", 2, {{2, 3, -1}, {0, 0, 0}, {0, 0}}},
        {"all zero beside a third id", 2, {{-1, -1, 2}, {0, 0, 0}, {0, 0}}},
        {"four joints out of 100", 2, {{0, 2, 3}, {40, 30, 20}, {0, 0}}},
        {"the rest to the third id, out of 255", 1, {{-1, -1, 3}, {51, 0, 0}, {0, 0}}},
        {"sub-version 3 like 2", 3, {{2, -1, -1}, {70, 30, 0}, {5, 6}}},
        {"a zero share is no joint", 2, {{0, -1, 2}, {50, 0, 0}, {0, 0}}},
        {"everything on ids of no joint, out of 100", 2, {{-1, -1, -1}, {0, 0, 100}, {0, 0}}},
        {"everything on ids of no joint, out of 255", 1, {{-1, -1, -1}, {0, 0, 255}, {0, 0}}},
        {"the rest on an id of no joint", 2, {{-1, -1, -1}, {50, 0, 0}, {0, 0}}},
        {"a weight on an id of no joint, sub-version 3", 3, {{3, -1, -1}, {0, 0, 100}, {1, 2}}},
        {"wholly on another joint, out of 100", 2, {{2, -1, -1}, {0, 100, 0}, {0, 0}}},
        {"wholly on another joint, out of 255", 1, {{2, -1, -1}, {0, 255, 0}, {0, 0}}},
        {"the own bone named again", 2, {{1, -1, -1}, {50, 50, 0}, {0, 0}}},
        {"another joint named twice", 2, {{0, 0, -1}, {0, 40, 60}, {0, 0}}},
        {"two joints out of 255", 1, {{0, -1, -1}, {100, 155, 0}, {0, 0}}},
    };
    for (const weight_case &c : cases) {
        fx::model m = fx::chain_model(4);
        m.extra.blocks = 2;
        m.extra.vertex_sub_version = c.sub_version;
        m.extra.vertices.resize(m.vertices.size());
        m.extra.vertices[4] = c.extra;
        const std::map<uint32_t, double> expected = format_shares(1, c.extra, c.sub_version);
        const bool own_alone = expected.size() == 1 && expected.begin()->first == 1;
        model_ptr model = read_fixture(m);
        EXPECT_EQ(ms3d_weighted_vertices(model.get()), own_alone ? 0u : 1u) << c.what;
        scene_model scene;
        ASSERT_EQ(ms3d_to_scene(model.get(), &scene, true), 0) << c.what;
        const scene_vertex &v = scene.vertices[4];
        ASSERT_EQ(v.num_weights, expected.size()) << c.what;
        std::map<uint32_t, double> got;
        for (int k = 0; k < v.num_weights; k++) {
            got[v.weights[k].joint] += v.weights[k].weight;
            if (k) {
                EXPECT_GE(v.weights[k - 1].weight, v.weights[k].weight) << c.what;
            }
        }
        for (const auto &[joint, share] : expected)
            EXPECT_NEAR(got[joint], share, 1e-6) << c.what << ", joint " << joint;
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
