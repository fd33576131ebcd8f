// SPDX-License-Identifier: MIT
// Writing TKM files: one function per file section, in the layout tkm_reader.cpp describes.
//
// Octets the reader skips are written with fixed values: the header words 1 and 0, each bone's and
// each material's own index, pads of 0, and the end marker's vertex and blend counts.
#include "viewer/mesh/tkm_writer.h"

#include <cerrno>

#include "support/file.h"
#include "support/scratch_write.h"

namespace {

constexpr uint8_t tkm_magic[16] = {0x72, 0xF6, 0x63, 0x1E, 0x5E, 0x47, 0xD2, 0x11,
                                   0x87, 0x99, 0x00, 0x20, 0xAF, 0xE6, 0x36, 0xEE};
constexpr uint16_t run_end_marker = 0xEEEE;
constexpr uint16_t zero_word = 0;

int put_u16(FILE *stream, uint16_t value) {
    return write_uint16(stream, &value);
}
int put_u32(FILE *stream, uint32_t value) {
    return write_uint32(stream, &value);
}
int put_f32(FILE *stream, float value) {
    return write_float(stream, &value);
}
// A counted string's text; a missing buffer fails like a failed write instead of crashing.
int put_text(FILE *stream, const char *text, uint16_t length) {
    if (!text) return 1;
    return write_arbitrary(stream, text, length);
}
// An array the mesh claims to hold but does not: written as a failure of its first element.
template <typename T> bool missing(uint32_t count, const T *array) {
    return count != 0 && !array;
}

int write_header(FILE *stream, const tkm_mesh *mesh) {
    if (write_arbitrary(stream, tkm_magic, sizeof tkm_magic)) return 2;
    if (put_u16(stream, mesh->header_word)) return 2;
    if (put_u16(stream, 1) || put_u16(stream, 0) || put_u16(stream, mesh->name_length)) return 3;
    if (put_text(stream, mesh->name, mesh->name_length)) return 4;
    return 0;
}

int write_runs(FILE *stream, const tkm_mesh *mesh) {
    bool marker = mesh->declared_run_count != 0;
    uint32_t declared = mesh->num_runs;
    if (marker) {
        // A declared count that no longer leaves room for the runs and their marker would make
        // the reader take the marker for a run: count them afresh.
        declared = mesh->declared_run_count > mesh->num_runs ? mesh->declared_run_count
                                                             : uint32_t{mesh->num_runs} + 1;
    }
    if (declared > 0xFFFF || put_u16(stream, static_cast<uint16_t>(declared))) return 12;
    if (missing(mesh->num_runs, mesh->runs)) return 13;
    for (uint16_t i = 0; i < mesh->num_runs; ++i) {
        const bone_run &run = mesh->runs[i];
        if (put_u16(stream, run.bone)) return 13;
        if (put_u16(stream, run.first_vertex)) return 14;
        if (put_u16(stream, run.vertex_count)) return 15;
        if (put_u16(stream, zero_word)) return 16;
    }
    if (marker) {
        if (put_u16(stream, run_end_marker) || put_u16(stream, mesh->num_vertices) ||
            put_u16(stream, mesh->num_blends))
            return 17;
        if (put_u16(stream, zero_word)) return 21;
    }
    return 0;
}

int write_vertices(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_vertices)) return 18;
    if (missing(mesh->num_vertices, mesh->vertices)) return 19;
    for (uint16_t i = 0; i < mesh->num_vertices; ++i)
        if (write_vec3(stream, mesh->vertices[i].local + 12)) return 19;
    return 0;
}

int write_blends(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_blends)) return 20;
    if (put_f32(stream, mesh->blend_aux)) return 21;
    if (missing(mesh->num_blends, mesh->blends)) return 22;
    for (uint16_t b = 0; b < mesh->num_blends; ++b) {
        const blend_vertex &blend = mesh->blends[b];
        if (put_u16(stream, blend.count)) return 22;
        if (missing(blend.count, blend.vertices)) return 23;
        if (missing(blend.count, blend.weights)) return 24;
        for (uint16_t c = 0; c < blend.count; ++c) {
            if (put_u16(stream, blend.vertices[c])) return 23;
            if (put_f32(stream, blend.weights[c])) return 24;
        }
    }
    return 0;
}

int write_geometry(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_texcoords)) return 25;
    if (missing(mesh->num_texcoords, mesh->texcoords)) return 26;
    for (uint16_t i = 0; i < mesh->num_texcoords; ++i)
        if (put_f32(stream, mesh->texcoords[i].u) || put_f32(stream, mesh->texcoords[i].v))
            return 26;

    if (put_u16(stream, mesh->num_corners)) return 27;
    if (missing(mesh->num_corners, mesh->corners)) return 28;
    for (uint16_t i = 0; i < mesh->num_corners; ++i) {
        const tkm_corner &corner = mesh->corners[i];
        if (put_u16(stream, corner.texcoord)) return 28;
        if (put_u16(stream, corner.vertex)) return 29;
        if (put_u16(stream, corner.aux1)) return 30;
        if (put_u16(stream, corner.aux2)) return 31;
    }

    if (put_u16(stream, mesh->num_triangles)) return 32;
    if (missing(mesh->num_triangles, mesh->triangles)) return 33;
    for (uint16_t i = 0; i < mesh->num_triangles; ++i) {
        const uint16_t *corners = mesh->triangles[i].corners;
        if (put_u16(stream, corners[0]) || put_u16(stream, corners[1]) ||
            put_u16(stream, corners[2]))
            return 33;
        if (put_u16(stream, zero_word)) return 34;
    }

    if (put_u16(stream, mesh->num_material_runs)) return 35;
    if (missing(mesh->num_material_runs, mesh->material_runs)) return 36;
    for (uint16_t i = 0; i < mesh->num_material_runs; ++i) {
        const material_run &run = mesh->material_runs[i];
        if (put_u16(stream, run.material)) return 36;
        if (put_u16(stream, run.first_triangle)) return 37;
        if (put_u16(stream, run.triangle_count)) return 38;
        if (put_u16(stream, zero_word)) return 39;
    }
    return 0;
}

int write_triangle_lists(FILE *stream, const tkm_mesh *mesh) {
    if (put_u32(stream, mesh->list_aux)) return 40;
    if (put_u16(stream, mesh->num_triangle_lists)) return 41;
    if (missing(mesh->num_triangle_lists, mesh->triangle_lists)) return 42;
    for (uint16_t i = 0; i < mesh->num_triangle_lists; ++i) {
        const triangle_list &list = mesh->triangle_lists[i];
        if (put_u16(stream, list.count)) return 42;
        if (missing(list.count, list.triangles)) return 43;
        for (uint16_t k = 0; k < list.count; ++k)
            if (put_u16(stream, list.triangles[k])) return 43;
    }
    return 0;
}

int write_texture_names(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_texture_names)) return 44;
    if (missing(mesh->num_texture_names, mesh->texture_names)) return 45;
    for (uint16_t i = 0; i < mesh->num_texture_names; ++i) {
        const texture_name &name = mesh->texture_names[i];
        if (put_u16(stream, name.length)) return 45;
        if (put_text(stream, name.path, name.length)) return 46;
        if (put_u16(stream, zero_word)) return 47;
    }
    return 0;
}

int write_material(FILE *stream, uint16_t index, const tkm_material &material) {
    if (put_u16(stream, index)) return 49;
    if (put_u16(stream, material.name_length)) return 50;
    if (put_text(stream, material.name, material.name_length)) return 51;
    if (put_u16(stream, material.num_texture_refs)) return 52;
    if (missing(material.num_texture_refs, material.texture_refs)) return 53;
    for (uint16_t r = 0; r < material.num_texture_refs; ++r) {
        if (put_u16(stream, material.texture_refs[r].aux)) return 53;
        if (put_u16(stream, material.texture_refs[r].texture)) return 54;
    }
    if (put_u16(stream, material.aux_word)) return 55;
    if (write_vec3(stream, material.diffuse)) return 56;
    if (write_vec3(stream, material.ambient)) return 57;
    if (write_vec3(stream, material.specular)) return 58;
    if (put_f32(stream, material.aux_float1)) return 59;
    if (put_f32(stream, material.transparency)) return 60;
    if (write_uint8(stream, &material.two_sided)) return 61;
    if (put_f32(stream, material.emission)) return 62;
    if (put_f32(stream, material.shininess)) return 63;
    if (put_f32(stream, material.aux_float2)) return 64;
    return 0;
}

int write_materials(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_materials)) return 48;
    if (missing(mesh->num_materials, mesh->materials)) return 49;
    for (uint16_t i = 0; i < mesh->num_materials; ++i)
        if (int code = write_material(stream, i, mesh->materials[i])) return code;
    return 0;
}

int write_sections(FILE *stream, const tkm_mesh *mesh) {
    if (int code = write_header(stream, mesh)) return code;
    if (put_u16(stream, mesh->num_bones)) return 5;
    if (missing(mesh->num_bones, mesh->bones)) return 6;
    if (int code = write_bones(stream, mesh->num_bones, mesh->bones)) return code;
    if (int code = write_runs(stream, mesh)) return code;
    if (int code = write_vertices(stream, mesh)) return code;
    if (int code = write_blends(stream, mesh)) return code;
    if (int code = write_geometry(stream, mesh)) return code;
    if (int code = write_triangle_lists(stream, mesh)) return code;
    if (int code = write_texture_names(stream, mesh)) return code;
    if (int code = write_materials(stream, mesh)) return code;
    if (write_gripper_list(stream, mesh->num_grips, mesh->grips)) return 65;
    if (write_gripper_list(stream, mesh->num_grippers, mesh->grippers)) return 66;
    return 0;
}

} // namespace

int write_bones(FILE *stream, uint16_t count, const tkm_bone *bones) {
    for (uint16_t i = 0; i < count; ++i) {
        const tkm_bone &bone = bones[i];
        if (put_u16(stream, i)) return 6;
        if (put_u16(stream, bone.name_length)) return 7;
        if (put_text(stream, bone.name, bone.name_length)) return 8;
        if (put_u16(stream, bone.parent)) return 9;
        if (write_vec3(stream, bone.position)) return 10;
        if (write_vec4(stream, bone.rotation)) return 11;
    }
    return 0;
}

int write_gripper_list(FILE *stream, uint16_t count, const gripper *array) {
    if (put_u16(stream, count)) return 1;
    if (missing(count, array)) return 2;
    for (uint16_t i = 0; i < count; ++i) {
        const gripper &grip = array[i];
        if (put_u16(stream, grip.name_length)) return 2;
        if (put_text(stream, grip.name, grip.name_length)) return 3;
        for (int column = 0; column < 4; ++column)
            if (write_vec3(stream, grip.local + 4 * column)) return 2 + column;
        if (put_u16(stream, grip.bone)) return 6;
    }
    return 0;
}

int write_tkm_stream(const tkm_mesh *mesh, FILE *stream) {
    return write_sections(stream, mesh);
}

int write_tkm(const tkm_mesh *mesh, const char *path) {
    scratch_file *file = open_scratch_file(path);
    if (!file) return 1;
    int code = write_sections(file->stream, mesh);
    // Buffered octets reach the disk only now; a full disk may show up here, not in the writes.
    int reason = finish_scratch_file(file, code == 0);
    if (code == 0 && reason != 0) code = 67;
    errno = code ? reason : 0;
    return code;
}
