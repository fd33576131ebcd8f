// SPDX-License-Identifier: MIT
// Reads .ms3d files field by field, in file order, into an ms3d_model.
//
// Sections: field transfer, vertices and triangles, groups and materials, joints, entry points.
// The optional blocks after the joints are read by ms3d_extras.cpp.
//
// Every field has its own failure code (file order). A field fails on a stream error and also when
// the file ends before all of its bytes arrived: a truncated file is refused instead of being
// filled up with zeros that look like real data.
#include "viewer/ms3d/ms3d_model.h"

#include <cstring>

#include "support/file.h"

namespace {

// ---- field transfer

// Failure codes of the fields, in file order.
enum ms3d_code : int {
    code_open = 1,
    code_id = 2,
    code_version = 3,
    code_num_vertices = 4,
    code_vertex_flags = 5, // then position 6, bone 7, reference_count 8
    code_num_triangles = 9,
    code_triangle_flags = 10,  // then vertex_indices 11..13, normals 14..16, s 17..19, t 20..22,
    code_smoothing_group = 23, // group_index 24
    code_num_groups = 25,
    code_group_flags = 26, // then name 27, num_triangles 28, indices 29, material_index 30
    code_num_materials = 31,
    code_material_name = 32, // then ambient 33 ... alphamap 41
    code_animation_fps = 42, // current_time 43, total_frames 44
    code_num_joints = 45,
    code_joint_flags = 46, // then name 47 ... position key value 56
};

// 0 when all size bytes arrived; 1 on a stream error or an early end of file.
int take(FILE *stream, void *field, uint32_t size) {
    uint32_t count = 0;
    if (try_read(stream, field, size, &count) != 0) return 1;
    return count == size ? 0 : 1;
}

// A zero-filled array of count elements, or null (also for count 0, which needs no storage).
template <typename T> T *zeroed_array(uint16_t count) {
    if (count == 0) return nullptr;
    return static_cast<T *>(alloc_one(static_cast<uint32_t>(count) * sizeof(T)));
}

// ---- vertices and triangles

int read_vertices(ms3d_model *model, FILE *stream) {
    if (take(stream, &model->num_vertices, 2)) return code_num_vertices;
    model->vertices = zeroed_array<ms3d_vertex>(model->num_vertices);
    if (model->num_vertices && !model->vertices) return code_num_vertices;
    for (uint16_t i = 0; i < model->num_vertices; i++) {
        ms3d_vertex &v = model->vertices[i];
        if (take(stream, &v.flags, 1)) return code_vertex_flags;
        if (take(stream, v.position, 12)) return code_vertex_flags + 1;
        if (take(stream, &v.bone, 1)) return code_vertex_flags + 2;
        if (take(stream, &v.reference_count, 1)) return code_vertex_flags + 3;
    }
    return 0;
}

int read_triangles(ms3d_model *model, FILE *stream) {
    if (take(stream, &model->num_triangles, 2)) return code_num_triangles;
    model->triangles = zeroed_array<ms3d_triangle>(model->num_triangles);
    if (model->num_triangles && !model->triangles) return code_num_triangles;
    for (uint16_t i = 0; i < model->num_triangles; i++) {
        ms3d_triangle &t = model->triangles[i];
        if (take(stream, &t.flags, 2)) return code_triangle_flags;
        for (int k = 0; k < 3; k++)
            if (take(stream, &t.vertex_indices[k], 2)) return code_triangle_flags + 1 + k;
        for (int k = 0; k < 3; k++)
            if (take(stream, t.normals[k], 12)) return code_triangle_flags + 4 + k;
        for (int k = 0; k < 3; k++)
            if (take(stream, &t.s[k], 4)) return code_triangle_flags + 7 + k;
        for (int k = 0; k < 3; k++)
            if (take(stream, &t.t[k], 4)) return code_triangle_flags + 10 + k;
        if (take(stream, &t.smoothing_group, 1)) return code_smoothing_group;
        if (take(stream, &t.group_index, 1)) return code_smoothing_group + 1;
    }
    return 0;
}

// ---- groups and materials

int read_groups(ms3d_model *model, FILE *stream) {
    if (take(stream, &model->num_groups, 2)) return code_num_groups;
    model->groups = zeroed_array<ms3d_group>(model->num_groups);
    if (model->num_groups && !model->groups) return code_num_groups;
    for (uint16_t i = 0; i < model->num_groups; i++) {
        ms3d_group &g = model->groups[i];
        if (take(stream, &g.flags, 1)) return code_group_flags;
        if (take(stream, g.name, ms3d_name_size)) return code_group_flags + 1;
        if (take(stream, &g.num_triangles, 2)) return code_group_flags + 2;
        g.triangle_indices = zeroed_array<uint16_t>(g.num_triangles);
        if (g.num_triangles && !g.triangle_indices) return code_group_flags + 2;
        for (uint16_t k = 0; k < g.num_triangles; k++)
            if (take(stream, &g.triangle_indices[k], 2)) return code_group_flags + 3;
        if (take(stream, &g.material_index, 1)) return code_group_flags + 4;
    }
    return 0;
}

// Reads four colour components one at a time, as the format's tools write them.
int take_colour(FILE *stream, float *colour) {
    for (int k = 0; k < 4; k++)
        if (take(stream, &colour[k], 4)) return 1;
    return 0;
}

int read_materials(ms3d_model *model, FILE *stream) {
    if (take(stream, &model->num_materials, 2)) return code_num_materials;
    model->materials = zeroed_array<ms3d_material>(model->num_materials);
    if (model->num_materials && !model->materials) return code_num_materials;
    for (uint16_t i = 0; i < model->num_materials; i++) {
        ms3d_material &m = model->materials[i];
        if (take(stream, m.name, ms3d_name_size)) return code_material_name;
        if (take_colour(stream, m.ambient)) return code_material_name + 1;
        if (take_colour(stream, m.diffuse)) return code_material_name + 2;
        if (take_colour(stream, m.specular)) return code_material_name + 3;
        if (take_colour(stream, m.emissive)) return code_material_name + 4;
        if (take(stream, &m.shininess, 4)) return code_material_name + 5;
        if (take(stream, &m.transparency, 4)) return code_material_name + 6;
        if (take(stream, &m.mode, 1)) return code_material_name + 7;
        if (take(stream, m.texture, ms3d_texture_size)) return code_material_name + 8;
        if (take(stream, m.alphamap, ms3d_texture_size)) return code_material_name + 9;
    }
    return 0;
}

// ---- joints

// Reads count keys into an array made beforehand; time_code and time_code + 1 are the failures.
int read_keys(FILE *stream, ms3d_keyframe *keys, uint16_t count, int time_code) {
    for (uint16_t k = 0; k < count; k++) {
        if (take(stream, &keys[k].time, 4)) return time_code;
        if (take(stream, keys[k].value, 12)) return time_code + 1;
    }
    return 0;
}

int read_joints(ms3d_model *model, FILE *stream) {
    if (take(stream, &model->animation_fps, 4)) return code_animation_fps;
    if (take(stream, &model->current_time, 4)) return code_animation_fps + 1;
    if (take(stream, &model->total_frames, 4)) return code_animation_fps + 2;
    if (take(stream, &model->num_joints, 2)) return code_num_joints;
    model->joints = zeroed_array<ms3d_joint>(model->num_joints);
    if (model->num_joints && !model->joints) return code_num_joints;
    for (uint16_t i = 0; i < model->num_joints; i++) {
        ms3d_joint &j = model->joints[i];
        if (take(stream, &j.flags, 1)) return code_joint_flags;
        if (take(stream, j.name, ms3d_name_size)) return code_joint_flags + 1;
        if (take(stream, j.parent_name, ms3d_name_size)) return code_joint_flags + 2;
        if (take(stream, j.rotation, 12)) return code_joint_flags + 3;
        if (take(stream, j.position, 12)) return code_joint_flags + 4;
        if (take(stream, &j.num_rotation_keys, 2)) return code_joint_flags + 5;
        if (take(stream, &j.num_position_keys, 2)) return code_joint_flags + 6;
        j.rotation_keys = zeroed_array<ms3d_keyframe>(j.num_rotation_keys);
        if (j.num_rotation_keys && !j.rotation_keys) return code_joint_flags + 5;
        j.position_keys = zeroed_array<ms3d_keyframe>(j.num_position_keys);
        if (j.num_position_keys && !j.position_keys) return code_joint_flags + 6;
        int result = read_keys(stream, j.rotation_keys, j.num_rotation_keys, code_joint_flags + 7);
        if (result) return result;
        result = read_keys(stream, j.position_keys, j.num_position_keys, code_joint_flags + 9);
        if (result) return result;
    }
    return 0;
}

constexpr char ms3d_magic[10] = {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0'};

// The magic and the version; a file too short to hold the magic is simply not a Milkshape file.
int read_header(ms3d_model *model, FILE *stream) {
    uint32_t count = 0;
    if (try_read(stream, model->id, sizeof model->id, &count) != 0) return code_id;
    if (count != sizeof model->id) return ms3d_wrong_magic;
    const bool magic_ok = std::memcmp(model->id, ms3d_magic, sizeof ms3d_magic) == 0;
    if (try_read(stream, &model->version, 4, &count) != 0) return code_version;
    if (!magic_ok) return ms3d_wrong_magic;
    if (count != 4) return code_version;
    if (model->version > 4) return ms3d_unknown_version;
    return 0;
}

} // namespace

// ---- entry points

ms3d_model *create_ms3d() {
    return static_cast<ms3d_model *>(alloc_one(sizeof(ms3d_model)));
}

int read_ms3d_stream(ms3d_model *model, FILE *stream) {
    using section = int (*)(ms3d_model *, FILE *);
    static constexpr section sections[] = {read_header,     read_vertices,  read_triangles,
                                           read_groups,     read_materials, read_joints,
                                           read_ms3d_extras};
    for (section read_section : sections) {
        const int result = read_section(model, stream);
        if (result) return result;
    }
    return 0;
}

int read_ms3d(ms3d_model *model, const char *path) {
    FILE *stream = open_read(path);
    if (!stream) return code_open;
    const int result = read_ms3d_stream(model, stream);
    close_file(stream);
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
