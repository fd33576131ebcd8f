// SPDX-License-Identifier: MIT
// Writing TKM files: one function per file section, in the layout tkm_format.h describes; a
// failed write returns the code of the field it was writing.
//
// Octets the reader skips are written with fixed values: the header words 1 and 0, each bone's and
// each material's own index, pads of 0, and the end marker's vertex and blend counts.
#include "viewer/mesh/tkm_writer.h"

#include <cerrno>

#include "support/file.h"
#include "support/scratch_write.h"
#include "viewer/mesh/tkm_format.h"

namespace {

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
    if (write_arbitrary(stream, tkm_magic, sizeof tkm_magic)) return tkm_code_header_word;
    if (put_u16(stream, mesh->header_word)) return tkm_code_header_word;
    if (put_u16(stream, 1) || put_u16(stream, 0) || put_u16(stream, mesh->name_length))
        return tkm_code_name_length;
    if (put_text(stream, mesh->name, mesh->name_length)) return tkm_code_name;
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
    if (declared > 0xFFFF || put_u16(stream, static_cast<uint16_t>(declared)))
        return tkm_code_run_count;
    if (missing(mesh->num_runs, mesh->runs)) return tkm_code_run_bone;
    for (uint16_t i = 0; i < mesh->num_runs; ++i) {
        const bone_run &run = mesh->runs[i];
        if (put_u16(stream, run.bone)) return tkm_code_run_bone;
        if (put_u16(stream, run.first_vertex)) return tkm_code_run_first_vertex;
        if (put_u16(stream, run.vertex_count)) return tkm_code_run_vertex_count;
        if (put_u16(stream, zero_word)) return tkm_code_run_pad;
    }
    if (marker) {
        if (put_u16(stream, tkm_run_end_marker) || put_u16(stream, mesh->num_vertices) ||
            put_u16(stream, mesh->num_blends))
            return tkm_code_run_end_fields;
        // The marker's pad word has always reported the blend section's first field.
        if (put_u16(stream, zero_word)) return tkm_code_blend_aux;
    }
    return 0;
}

int write_vertices(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_vertices)) return tkm_code_vertex_count;
    if (missing(mesh->num_vertices, mesh->vertices)) return tkm_code_vertex_position;
    for (uint16_t i = 0; i < mesh->num_vertices; ++i)
        if (write_vec3(stream, mesh->vertices[i].local + 12)) return tkm_code_vertex_position;
    return 0;
}

int write_blends(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_blends)) return tkm_code_blend_count;
    if (put_f32(stream, mesh->blend_aux)) return tkm_code_blend_aux;
    if (missing(mesh->num_blends, mesh->blends)) return tkm_code_blend_components;
    for (uint16_t b = 0; b < mesh->num_blends; ++b) {
        const blend_vertex &blend = mesh->blends[b];
        if (put_u16(stream, blend.count)) return tkm_code_blend_components;
        if (missing(blend.count, blend.vertices)) return tkm_code_blend_vertex;
        if (missing(blend.count, blend.weights)) return tkm_code_blend_weight;
        for (uint16_t c = 0; c < blend.count; ++c) {
            if (put_u16(stream, blend.vertices[c])) return tkm_code_blend_vertex;
            if (put_f32(stream, blend.weights[c])) return tkm_code_blend_weight;
        }
    }
    return 0;
}

int write_geometry(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_texcoords)) return tkm_code_texcoord_count;
    if (missing(mesh->num_texcoords, mesh->texcoords)) return tkm_code_texcoord;
    for (uint16_t i = 0; i < mesh->num_texcoords; ++i)
        if (put_f32(stream, mesh->texcoords[i].u) || put_f32(stream, mesh->texcoords[i].v))
            return tkm_code_texcoord;

    if (put_u16(stream, mesh->num_corners)) return tkm_code_corner_count;
    if (missing(mesh->num_corners, mesh->corners)) return tkm_code_corner_texcoord;
    for (uint16_t i = 0; i < mesh->num_corners; ++i) {
        const tkm_corner &corner = mesh->corners[i];
        if (put_u16(stream, corner.texcoord)) return tkm_code_corner_texcoord;
        if (put_u16(stream, corner.vertex)) return tkm_code_corner_vertex;
        if (put_u16(stream, corner.aux1)) return tkm_code_corner_aux1;
        if (put_u16(stream, corner.aux2)) return tkm_code_corner_aux2;
    }

    if (put_u16(stream, mesh->num_triangles)) return tkm_code_triangle_count;
    if (missing(mesh->num_triangles, mesh->triangles)) return tkm_code_triangle_corners;
    for (uint16_t i = 0; i < mesh->num_triangles; ++i) {
        const uint16_t *corners = mesh->triangles[i].corners;
        if (put_u16(stream, corners[0]) || put_u16(stream, corners[1]) ||
            put_u16(stream, corners[2]))
            return tkm_code_triangle_corners;
        if (put_u16(stream, zero_word)) return tkm_code_triangle_pad;
    }

    if (put_u16(stream, mesh->num_material_runs)) return tkm_code_material_run_count;
    if (missing(mesh->num_material_runs, mesh->material_runs))
        return tkm_code_material_run_material;
    for (uint16_t i = 0; i < mesh->num_material_runs; ++i) {
        const material_run &run = mesh->material_runs[i];
        if (put_u16(stream, run.material)) return tkm_code_material_run_material;
        if (put_u16(stream, run.first_triangle)) return tkm_code_material_run_first;
        if (put_u16(stream, run.triangle_count)) return tkm_code_material_run_triangles;
        if (put_u16(stream, zero_word)) return tkm_code_material_run_pad;
    }
    return 0;
}

int write_triangle_lists(FILE *stream, const tkm_mesh *mesh) {
    if (put_u32(stream, mesh->list_aux)) return tkm_code_list_aux;
    if (put_u16(stream, mesh->num_triangle_lists)) return tkm_code_list_count;
    if (missing(mesh->num_triangle_lists, mesh->triangle_lists)) return tkm_code_list_length;
    for (uint16_t i = 0; i < mesh->num_triangle_lists; ++i) {
        const triangle_list &list = mesh->triangle_lists[i];
        if (put_u16(stream, list.count)) return tkm_code_list_length;
        if (missing(list.count, list.triangles)) return tkm_code_list_entry;
        for (uint16_t k = 0; k < list.count; ++k)
            if (put_u16(stream, list.triangles[k])) return tkm_code_list_entry;
    }
    return 0;
}

int write_texture_names(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_texture_names)) return tkm_code_texture_count;
    if (missing(mesh->num_texture_names, mesh->texture_names)) return tkm_code_texture_length;
    for (uint16_t i = 0; i < mesh->num_texture_names; ++i) {
        const texture_name &name = mesh->texture_names[i];
        if (put_u16(stream, name.length)) return tkm_code_texture_length;
        if (put_text(stream, name.path, name.length)) return tkm_code_texture_text;
        if (put_u16(stream, zero_word)) return tkm_code_texture_pad;
    }
    return 0;
}

int write_material(FILE *stream, uint16_t index, const tkm_material &material) {
    if (put_u16(stream, index)) return tkm_code_material_index;
    if (put_u16(stream, material.name_length)) return tkm_code_material_name_length;
    if (put_text(stream, material.name, material.name_length)) return tkm_code_material_name;
    if (put_u16(stream, material.num_texture_refs)) return tkm_code_material_ref_count;
    if (missing(material.num_texture_refs, material.texture_refs)) return tkm_code_material_ref_aux;
    for (uint16_t r = 0; r < material.num_texture_refs; ++r) {
        if (put_u16(stream, material.texture_refs[r].aux)) return tkm_code_material_ref_aux;
        if (put_u16(stream, material.texture_refs[r].texture)) return tkm_code_material_ref_texture;
    }
    if (put_u16(stream, material.aux_word)) return tkm_code_material_aux_word;
    if (write_vec3(stream, material.diffuse)) return tkm_code_material_diffuse;
    if (write_vec3(stream, material.ambient)) return tkm_code_material_ambient;
    if (write_vec3(stream, material.specular)) return tkm_code_material_specular;
    if (put_f32(stream, material.aux_float1)) return tkm_code_material_aux_float1;
    if (put_f32(stream, material.transparency)) return tkm_code_material_transparency;
    if (write_uint8(stream, &material.two_sided)) return tkm_code_material_two_sided;
    if (put_f32(stream, material.emission)) return tkm_code_material_emission;
    if (put_f32(stream, material.shininess)) return tkm_code_material_shininess;
    if (put_f32(stream, material.aux_float2)) return tkm_code_material_aux_float2;
    return 0;
}

int write_materials(FILE *stream, const tkm_mesh *mesh) {
    if (put_u16(stream, mesh->num_materials)) return tkm_code_material_count;
    if (missing(mesh->num_materials, mesh->materials)) return tkm_code_material_index;
    for (uint16_t i = 0; i < mesh->num_materials; ++i)
        if (int code = write_material(stream, i, mesh->materials[i])) return code;
    return 0;
}

int write_sections(FILE *stream, const tkm_mesh *mesh) {
    if (int code = write_header(stream, mesh)) return code;
    if (put_u16(stream, mesh->num_bones)) return tkm_code_bone_count;
    if (missing(mesh->num_bones, mesh->bones)) return tkm_code_bone_index;
    if (int code = write_bones(stream, mesh->num_bones, mesh->bones)) return code;
    if (int code = write_runs(stream, mesh)) return code;
    if (int code = write_vertices(stream, mesh)) return code;
    if (int code = write_blends(stream, mesh)) return code;
    if (int code = write_geometry(stream, mesh)) return code;
    if (int code = write_triangle_lists(stream, mesh)) return code;
    if (int code = write_texture_names(stream, mesh)) return code;
    if (int code = write_materials(stream, mesh)) return code;
    if (write_gripper_list(stream, mesh->num_grips, mesh->grips)) return tkm_code_grips;
    if (write_gripper_list(stream, mesh->num_grippers, mesh->grippers)) return tkm_code_grippers;
    return 0;
}

} // namespace

int write_bones(FILE *stream, uint16_t count, const tkm_bone *bones) {
    for (uint16_t i = 0; i < count; ++i) {
        const tkm_bone &bone = bones[i];
        if (put_u16(stream, i)) return tkm_code_bone_index;
        if (put_u16(stream, bone.name_length)) return tkm_code_bone_name_length;
        if (put_text(stream, bone.name, bone.name_length)) return tkm_code_bone_name;
        if (put_u16(stream, bone.parent)) return tkm_code_bone_parent;
        if (write_vec3(stream, bone.position)) return tkm_code_bone_position;
        if (write_vec4(stream, bone.rotation)) return tkm_code_bone_rotation;
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
