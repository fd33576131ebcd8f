// SPDX-License-Identifier: MIT
// Reads .ms3d files field by field, in file order, into an ms3d_model.
//
// Sections: field transfer, vertices and triangles, groups and materials, joints, entry points.
// The optional blocks after the joints are read by ms3d_extras.cpp.
//
// Every field has its own failure code (file order). A field fails on a in error and also when
// the file ends before all of its bytes arrived: a truncated file is refused instead of being
// filled up with zeros that look like real data.
#include "viewer/ms3d/ms3d_reader.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "support/memory.h"
#include "viewer/ms3d/ms3d_extras.h"

namespace {

// ---- field transfer

// 0 when all size bytes arrived; 1 on a in error or an early end of file.
int take(byte_reader *in, void *field, uint32_t size) {
    uint32_t count = 0;
    if (take_bytes(in, field, size, &count) != 0) return 1;
    return count == size ? 0 : 1;
}

// A zero-filled array of count elements, or null (also for count 0, which needs no storage).
template <typename T> T *zeroed_array(uint16_t count) {
    if (count == 0) return nullptr;
    return static_cast<T *>(alloc_one(static_cast<uint32_t>(count) * sizeof(T)));
}

// ---- vertices and triangles

int read_vertices(ms3d_model *model, byte_reader *in, read_place &place) {
    place = {ms3d_in_vertices, -1, 0};
    if (take(in, &model->num_vertices, 2)) return ms3d_code_num_vertices;
    model->vertices = zeroed_array<ms3d_vertex>(model->num_vertices);
    if (model->num_vertices && !model->vertices) return ms3d_code_num_vertices;
    for (uint16_t i = 0; i < model->num_vertices; i++) {
        place.record = i;
        ms3d_vertex &v = model->vertices[i];
        if (take(in, &v.flags, 1)) return ms3d_code_vertex_flags;
        if (take(in, v.position, 12)) return ms3d_code_vertex_position;
        if (take(in, &v.bone, 1)) return ms3d_code_vertex_bone;
        if (take(in, &v.reference_count, 1)) return ms3d_code_vertex_reference_count;
    }
    return 0;
}

int read_triangles(ms3d_model *model, byte_reader *in, read_place &place) {
    place = {ms3d_in_triangles, -1, 0};
    if (take(in, &model->num_triangles, 2)) return ms3d_code_num_triangles;
    model->triangles = zeroed_array<ms3d_triangle>(model->num_triangles);
    if (model->num_triangles && !model->triangles) return ms3d_code_num_triangles;
    for (uint16_t i = 0; i < model->num_triangles; i++) {
        place.record = i;
        ms3d_triangle &t = model->triangles[i];
        if (take(in, &t.flags, 2)) return ms3d_code_triangle_flags;
        for (int k = 0; k < 3; k++)
            if (take(in, &t.vertex_indices[k], 2)) return ms3d_code_triangle_vertex_indices + k;
        for (int k = 0; k < 3; k++)
            if (take(in, t.normals[k], 12)) return ms3d_code_triangle_normals + k;
        for (int k = 0; k < 3; k++)
            if (take(in, &t.s[k], 4)) return ms3d_code_triangle_s + k;
        for (int k = 0; k < 3; k++)
            if (take(in, &t.t[k], 4)) return ms3d_code_triangle_t + k;
        if (take(in, &t.smoothing_group, 1)) return ms3d_code_smoothing_group;
        if (take(in, &t.group_index, 1)) return ms3d_code_group_index;
    }
    return 0;
}

// ---- groups and materials

int read_groups(ms3d_model *model, byte_reader *in, read_place &place) {
    place = {ms3d_in_groups, -1, 0};
    if (take(in, &model->num_groups, 2)) return ms3d_code_num_groups;
    model->groups = zeroed_array<ms3d_group>(model->num_groups);
    if (model->num_groups && !model->groups) return ms3d_code_num_groups;
    for (uint16_t i = 0; i < model->num_groups; i++) {
        place.record = i;
        ms3d_group &g = model->groups[i];
        if (take(in, &g.flags, 1)) return ms3d_code_group_flags;
        if (take(in, g.name, ms3d_name_size)) return ms3d_code_group_name;
        if (take(in, &g.num_triangles, 2)) return ms3d_code_group_num_triangles;
        g.triangle_indices = zeroed_array<uint16_t>(g.num_triangles);
        if (g.num_triangles && !g.triangle_indices) return ms3d_code_group_num_triangles;
        for (uint16_t k = 0; k < g.num_triangles; k++)
            if (take(in, &g.triangle_indices[k], 2)) return ms3d_code_group_triangle_index;
        if (take(in, &g.material_index, 1)) return ms3d_code_group_material_index;
    }
    return 0;
}

// Reads four colour components one at a time, as the format's tools write them.
int take_colour(byte_reader *in, float *colour) {
    for (int k = 0; k < 4; k++)
        if (take(in, &colour[k], 4)) return 1;
    return 0;
}

int read_materials(ms3d_model *model, byte_reader *in, read_place &place) {
    place = {ms3d_in_materials, -1, 0};
    if (take(in, &model->num_materials, 2)) return ms3d_code_num_materials;
    model->materials = zeroed_array<ms3d_material>(model->num_materials);
    if (model->num_materials && !model->materials) return ms3d_code_num_materials;
    for (uint16_t i = 0; i < model->num_materials; i++) {
        place.record = i;
        ms3d_material &m = model->materials[i];
        if (take(in, m.name, ms3d_name_size)) return ms3d_code_material_name;
        if (take_colour(in, m.ambient)) return ms3d_code_material_ambient;
        if (take_colour(in, m.diffuse)) return ms3d_code_material_diffuse;
        if (take_colour(in, m.specular)) return ms3d_code_material_specular;
        if (take_colour(in, m.emissive)) return ms3d_code_material_emissive;
        if (take(in, &m.shininess, 4)) return ms3d_code_material_shininess;
        if (take(in, &m.transparency, 4)) return ms3d_code_material_transparency;
        if (take(in, &m.mode, 1)) return ms3d_code_material_mode;
        if (take(in, m.texture, ms3d_texture_size)) return ms3d_code_material_texture;
        if (take(in, m.alphamap, ms3d_texture_size)) return ms3d_code_material_alphamap;
    }
    return 0;
}

// ---- joints

// Reads count keys into an array made beforehand; time_code and time_code + 1 are the failures.
int read_keys(byte_reader *in, ms3d_keyframe *keys, uint16_t count, int time_code) {
    for (uint16_t k = 0; k < count; k++) {
        if (take(in, &keys[k].time, 4)) return time_code;
        if (take(in, keys[k].value, 12)) return time_code + 1;
    }
    return 0;
}

int read_joints(ms3d_model *model, byte_reader *in, read_place &place) {
    place = {ms3d_in_joints, -1, 0};
    if (take(in, &model->animation_fps, 4)) return ms3d_code_animation_fps;
    if (take(in, &model->current_time, 4)) return ms3d_code_current_time;
    if (take(in, &model->total_frames, 4)) return ms3d_code_total_frames;
    if (take(in, &model->num_joints, 2)) return ms3d_code_num_joints;
    model->joints = zeroed_array<ms3d_joint>(model->num_joints);
    if (model->num_joints && !model->joints) return ms3d_code_num_joints;
    for (uint16_t i = 0; i < model->num_joints; i++) {
        place.record = i;
        ms3d_joint &j = model->joints[i];
        if (take(in, &j.flags, 1)) return ms3d_code_joint_flags;
        if (take(in, j.name, ms3d_name_size)) return ms3d_code_joint_name;
        if (take(in, j.parent_name, ms3d_name_size)) return ms3d_code_joint_parent_name;
        if (take(in, j.rotation, 12)) return ms3d_code_joint_rotation;
        if (take(in, j.position, 12)) return ms3d_code_joint_position;
        if (take(in, &j.num_rotation_keys, 2)) return ms3d_code_joint_num_rotation_keys;
        if (take(in, &j.num_position_keys, 2)) return ms3d_code_joint_num_position_keys;
        j.rotation_keys = zeroed_array<ms3d_keyframe>(j.num_rotation_keys);
        if (j.num_rotation_keys && !j.rotation_keys) return ms3d_code_joint_num_rotation_keys;
        j.position_keys = zeroed_array<ms3d_keyframe>(j.num_position_keys);
        if (j.num_position_keys && !j.position_keys) return ms3d_code_joint_num_position_keys;
        int result =
            read_keys(in, j.rotation_keys, j.num_rotation_keys, ms3d_code_rotation_key_time);
        if (result) return result;
        result = read_keys(in, j.position_keys, j.num_position_keys, ms3d_code_position_key_time);
        if (result) return result;
    }
    return 0;
}

// The magic and the version; a file too short to hold the magic is simply not a Milkshape file.
int read_header(ms3d_model *model, byte_reader *in, read_place &place) {
    place = {ms3d_in_header, -1, 0};
    uint32_t count = 0;
    if (take_bytes(in, model->id, sizeof model->id, &count) != 0) return ms3d_code_id;
    if (count != sizeof model->id) return ms3d_wrong_magic;
    const bool magic_ok = std::memcmp(model->id, ms3d_magic, sizeof ms3d_magic) == 0;
    if (take_bytes(in, &model->version, 4, &count) != 0) return ms3d_code_version;
    if (!magic_ok) return ms3d_wrong_magic;
    if (count != 4) return ms3d_code_version;
    if (model->version > 4) return ms3d_unknown_version;
    return 0;
}

// ---- entry points

// Every section in file order, then the optional blocks; the first failing one's code, with
// place where it stopped.
int read_sections(ms3d_model *model, byte_reader *in, ms3d_extras_reading reading,
                  read_place &place) {
    using section = int (*)(ms3d_model *, byte_reader *, read_place &);
    static constexpr section sections[] = {read_header, read_vertices,  read_triangles,
                                           read_groups, read_materials, read_joints};
    for (section read_section : sections) {
        const int result = read_section(model, in, place);
        if (result) return result;
    }
    place = {ms3d_in_extras, -1, 0};
    return read_ms3d_extras(model, in, reading);
}

} // namespace

ms3d_model *create_ms3d() {
    return static_cast<ms3d_model *>(alloc_one(sizeof(ms3d_model)));
}

int read_ms3d(ms3d_model *model, const char *path, ms3d_extras_reading reading) {
    return read_ms3d_explained(model, path, nullptr, reading);
}

int read_ms3d_explained(ms3d_model *model, const char *path, read_failure *failure,
                        ms3d_extras_reading reading) {
    if (failure) *failure = read_failure{};
    std::vector<uint8_t> bytes;
    int reason = 0;
    if (read_file_bytes(path, &bytes, &reason) != file_bytes_read) {
        if (failure) failure->reason = reason;
        return ms3d_code_open;
    }
    return read_ms3d_memory(model, bytes.data(), bytes.size(), path, failure, reading);
}

int read_ms3d_memory(ms3d_model *model, const uint8_t *data, size_t size, const char *path,
                     read_failure *failure, ms3d_extras_reading reading) {
    if (failure) *failure = read_failure{};
    byte_reader in = make_byte_reader(data, size);
    read_place place;
    const int result = read_sections(model, &in, reading, place);
    if (result && failure) {
        note_stop(in, failure);
        explain_ms3d_failure(model, path, result, place, failure);
    }
    return result;
}

void release_ms3d(ms3d_model *model) {
    if (!model) return;
    for (uint16_t i = 0; i < model->num_groups && model->groups; i++)
        cleanup_one(model->groups[i].triangle_indices);
    cleanup_one(model->groups);
    cleanup_one(model->vertices);
    cleanup_one(model->triangles);
    cleanup_one(model->materials);
    for (uint16_t i = 0; i < model->num_joints && model->joints; i++) {
        cleanup_one(model->joints[i].rotation_keys);
        cleanup_one(model->joints[i].position_keys);
    }
    cleanup_one(model->joints);
    cleanup_one(model->extras.vertices);
    cleanup_one(model->extras.joint_colors);
    cleanup_one(model);
}
