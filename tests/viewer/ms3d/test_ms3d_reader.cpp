// SPDX-License-Identifier: MIT
// The Milkshape reader: field order, codes, magic and version, truncation, release after failure.
#include "ms3d_test.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/ms3d/ms3d_extras.h"

#include <cmath>

namespace fx = ms3d_fixture;

namespace {

// A model that reaches every field of the format, keys included.
fx::model full_model() {
    fx::model m = fx::triangle_model();
    m.vertices.push_back({5, 6, 7, -1, 3, 9});
    fx::triangle second;
    second.v[0] = 3;
    second.s[0] = 0.25f;
    second.t[0] = 0.75f;
    m.triangles.push_back(second);
    m.groups.push_back({"empty", {}, -1});
    m.groups.push_back({"second", {1}, 0});
    fx::material shiny;
    shiny.name = "shiny";
    shiny.diffuse[0] = 0.5f;
    shiny.shininess = 64;
    m.materials.push_back(shiny);
    fx::joint child;
    child.name = "child";
    child.parent = "root";
    child.rotation[0] = 90;
    child.position[1] = 2;
    child.rotation_keys = {{0.5f, {1, 2, 3}}};
    child.position_keys = {{0.25f, {4, 5, 6}}, {0.75f, {7, 8, 9}}};
    m.joints.push_back(child);
    return m;
}

TEST(ms3d_reader, reads_every_field_in_file_order) {
    const fx::model fixture = full_model();
    model_ptr m = read_fixture(fixture);
    EXPECT_EQ(std::string(m->id, 10), "MS3D000000");
    EXPECT_EQ(m->version, 4u);
    ASSERT_EQ(m->num_vertices, 4);
    EXPECT_EQ(m->vertices[3].position[2], 7.0f);
    EXPECT_EQ(m->vertices[3].bone, -1);
    EXPECT_EQ(m->vertices[3].flags, 3);
    EXPECT_EQ(m->vertices[3].reference_count, 9);
    ASSERT_EQ(m->num_triangles, 2);
    EXPECT_EQ(m->triangles[1].vertex_indices[0], 3);
    EXPECT_EQ(m->triangles[1].s[0], 0.25f);
    EXPECT_EQ(m->triangles[1].t[0], 0.75f);
    EXPECT_EQ(m->triangles[0].normals[2][1], 1.0f);
    EXPECT_EQ(m->triangles[0].smoothing_group, 1);
    ASSERT_EQ(m->num_groups, 3);
    EXPECT_STREQ(m->groups[0].name, "body");
    EXPECT_EQ(m->groups[1].num_triangles, 0);
    EXPECT_EQ(m->groups[1].triangle_indices, nullptr);
    EXPECT_EQ(m->groups[1].material_index, -1);
    EXPECT_EQ(m->groups[2].triangle_indices[0], 1);
    ASSERT_EQ(m->num_materials, 2);
    EXPECT_STREQ(m->materials[0].texture, "textures\\skin.bmp");
    EXPECT_EQ(m->materials[1].diffuse[0], 0.5f);
    EXPECT_EQ(m->materials[1].shininess, 64.0f);
    EXPECT_EQ(m->materials[1].transparency, 1.0f);
    EXPECT_EQ(m->animation_fps, 24.0f);
    EXPECT_EQ(m->total_frames, 30);
    ASSERT_EQ(m->num_joints, 2);
    EXPECT_STREQ(m->joints[1].parent_name, "root");
    EXPECT_EQ(m->joints[1].rotation[0], 90.0f);
    EXPECT_EQ(m->joints[1].position[1], 2.0f);
    ASSERT_EQ(m->joints[1].num_rotation_keys, 1);
    EXPECT_EQ(m->joints[1].rotation_keys[0].value[2], 3.0f);
    ASSERT_EQ(m->joints[1].num_position_keys, 2);
    EXPECT_EQ(m->joints[1].position_keys[1].time, 0.75f);
    EXPECT_EQ(m->joints[1].position_keys[1].value[0], 7.0f);
}

TEST(ms3d_reader, magic_and_version) {
    int code = 0;
    fx::model m;
    for (uint32_t version : {0u, 1u, 4u}) {
        m.version = version;
        read_bytes(fx::bytes(m), &code);
        EXPECT_EQ(code, 0) << version;
    }
    for (uint32_t version : {5u, 0x80000000u, 0xFFFFFFFFu}) {
        m.version = version;
        read_bytes(fx::bytes(m), &code);
        EXPECT_EQ(code, ms3d_code_unknown_version) << version;
    }
    m.version = 4;
    m.magic[9] = '1';
    read_bytes(fx::bytes(m), &code);
    EXPECT_EQ(code, ms3d_code_wrong_magic);
    m.magic[9] = '0';
    m.magic[0] = 'm'; // the comparison is exact
    read_bytes(fx::bytes(m), &code);
    EXPECT_EQ(code, ms3d_code_wrong_magic);
}

TEST(ms3d_reader, short_files_and_missing_files) {
    int code = 0;
    read_bytes({}, &code);
    EXPECT_EQ(code, ms3d_code_wrong_magic) << "an empty file is not a Milkshape file";
    read_bytes({'M', 'S', '3', 'D'}, &code);
    EXPECT_EQ(code, ms3d_code_wrong_magic);
    std::vector<uint8_t> header = {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0', 4, 0};
    read_bytes(header, &code);
    EXPECT_EQ(code, ms3d_code_version) << "the version ends early";
    std::vector<uint8_t> wrong = {'X', 'S', '3', 'D', '0', '0', '0', '0', '0', '0', 4, 0};
    read_bytes(wrong, &code);
    EXPECT_EQ(code, ms3d_code_wrong_magic) << "a wrong magic wins over a short version";

    model_ptr model(create_ms3d());
    EXPECT_EQ(read_ms3d(model.get(), "/nonexistent/dir/model.ms3d"), 1);
#ifndef _WIN32
    // A directory is refused as it is opened, with the system's reason, not read as a file
    // whose magic is missing. (Windows opens none.)
    read_failure failure;
    EXPECT_EQ(read_ms3d_explained(model.get(), "/tmp", &failure), ms3d_code_open);
    EXPECT_EQ(failure.reason, EISDIR);
#endif
}

TEST(ms3d_reader, empty_model_and_trailing_bytes) {
    fx::model empty;
    std::vector<uint8_t> bytes = fx::bytes(empty);
    EXPECT_EQ(bytes.size(), 36u);
    int code = -100;
    model_ptr m = read_bytes(bytes, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(m->num_vertices + m->num_triangles + m->num_groups + m->num_materials, 0);
    EXPECT_EQ(m->num_joints, 0);
    EXPECT_EQ(m->vertices, nullptr);
    EXPECT_EQ(m->joints, nullptr);
    // What follows the joints is Milkshape 1.8's optional blocks, whose first must be comments of
    // sub-version 1; bytes after the last of them are never read.
    std::vector<uint8_t> junk = bytes;
    junk.insert(junk.end(), {1, 2, 3, 4, 5});
    read_bytes(junk, &code);
    EXPECT_EQ(code, ms3d_bad_comments);
    bytes.insert(bytes.end(), {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    bytes.insert(bytes.end(), {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    bytes.insert(bytes.end(), {0, 0, 0, 0, 1, 2, 3, 4, 5});
    read_bytes(bytes, &code);
    EXPECT_EQ(code, 0) << "bytes after the model extras are never read";
}

// The optional blocks are read strictly or leniently; a cut before them fails either way.
TEST(ms3d_reader, a_file_cut_inside_any_field_gives_that_fields_code) {
    const fx::writer w = fx::write(full_model());
    std::vector<bool> seen(57, false);
    for (size_t i = 0; i < w.fields.size(); i++) {
        const fx::field &f = w.fields[i];
        const size_t end = i + 1 < w.fields.size() ? w.fields[i + 1].offset : w.bytes.size();
        // At the field's first byte, and at its last byte when it has more than one.
        for (size_t extra : {size_t{0}, end - f.offset - 1})
            for (ms3d_extras_reading reading : {ms3d_extras_strict, ms3d_extras_lenient}) {
                std::vector<uint8_t> cut(w.bytes.begin(), w.bytes.begin() + long(f.offset + extra));
                int code = 0;
                model_ptr m = read_bytes(cut, &code, reading);
                const int expected = f.code == 2 ? -1 : f.code;
                EXPECT_EQ(code, expected) << "cut at " << f.offset + extra << ", " << reading;
                EXPECT_EQ(m->extras.stopped_block, 0) << "cut at " << f.offset + extra;
            }
        seen[size_t(f.code)] = true;
    }
    for (int code = 2; code <= 56; code++)
        EXPECT_TRUE(seen[size_t(code)]) << "fixture misses field " << code;
}

TEST(ms3d_reader, a_failure_keeps_what_was_read_for_release) {
    const fx::writer w = fx::write(full_model());
    // Cut in the second joint's second position key: the first joint and keys are all there.
    size_t offset = 0;
    for (const fx::field &f : w.fields)
        if (f.code == ms3d_code_position_key_value) offset = f.offset;
    std::vector<uint8_t> cut(w.bytes.begin(), w.bytes.begin() + long(offset + 4));
    int code = 0;
    model_ptr m = read_bytes(cut, &code);
    EXPECT_EQ(code, ms3d_code_position_key_value);
    ASSERT_EQ(m->num_joints, 2);
    EXPECT_STREQ(m->joints[0].name, "root");
    EXPECT_EQ(m->joints[1].num_position_keys, 2);
    EXPECT_EQ(m->joints[1].position_keys[0].value[2], 6.0f);
    EXPECT_EQ(m->joints[1].position_keys[1].time, 0.75f);
    // The bytes that never arrived stay zero; release (by model_ptr) frees exactly what was made.
    EXPECT_EQ(m->joints[1].position_keys[1].value[0], 7.0f);
    EXPECT_EQ(m->joints[1].position_keys[1].value[1], 0.0f);
}

TEST(ms3d_reader, release_accepts_null_and_fresh_models) {
    release_ms3d(nullptr);
    release_ms3d(create_ms3d());
}

} // namespace
