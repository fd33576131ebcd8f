// SPDX-License-Identifier: MIT
// Reading TKM files: one function per file section, each returning the code of its failing field.
//
// Index: bones and grippers; sections; read_tkm. The values derived from the stored fields
// (texture base, material, bone matrices) are in mesh.cpp.
//
// The on-disk layout and the codes are in tkm_format.h.
#include "viewer/mesh/tkm_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/memory.h"
#include "support/messages.h"
#include "support/paths.h"
#include "viewer/mesh/binary_read.h"
#include "viewer/mesh/tkm_format.h"
#include "viewer/math/math3d.h"

namespace {

// Reads a counted string's text of length octets into a new block; code on any failure (a
// length of 0 fails like the zero-octet read it is). The block is kept in *text even on failure.
int read_text(byte_reader *in, uint16_t length, char **text, int code) {
    *text = alloc_counted_string(nullptr, length);
    if (!*text || get_bytes(in, *text, length)) return code;
    return 0;
}

} // namespace

// ---- magic, bones and grippers (shared with TKA files) ------------------------------------

int read_magic(byte_reader *in, const uint8_t *magic, const char *path, read_failure *record) {
    char read[17] = {};
    uint32_t count = 0;
    if (take_bytes(in, read, 16, &count) != byte_take_done) return 2;
    // Only the magic's first eleven octets take part: the comparison stops at its zero octet. A
    // file shorter than the magic is no model at all, whatever its first octets are.
    if (count < 16 || !str_equals(read, reinterpret_cast<const char *>(magic))) {
        record->notice = std::string(path) + " is not a TKM";
        record->notice_outlet = failure_outlet_error;
        return 1;
    }
    return 0;
}

int read_bones(byte_reader *in, uint16_t count, tkm_bone *bones) {
    int32_t record = -1;
    return read_bones_at(in, count, bones, &record);
}

int read_bones_at(byte_reader *in, uint16_t count, tkm_bone *bones, int32_t *record) {
    for (uint16_t i = 0; i < count; ++i) {
        *record = i;
        tkm_bone &bone = bones[i];
        if (skip_bytes(in, 2)) return tkm_code_bone_index;
        if (get_u16(in, &bone.name_length)) return tkm_code_bone_name_length;
        if (read_text(in, bone.name_length, &bone.name, tkm_code_bone_name))
            return tkm_code_bone_name;
        // A parent that does not come before the bone is kept as stored (it is written back) but
        // the bone is placed as a root: see has_parent.
        if (get_u16(in, &bone.parent)) return tkm_code_bone_parent;
        if (get_vec3(in, bone.position)) return tkm_code_bone_position;
        if (get_vec4(in, bone.rotation)) return tkm_code_bone_rotation;
    }
    *record = -1;
    for (uint16_t i = 0; i < count; ++i)
        derive_bone_matrices(bones, i);
    return 0;
}

int read_gripper_list(byte_reader *in, uint16_t *count_out, gripper **array_out) {
    int32_t record = -1;
    return read_gripper_list_at(in, count_out, array_out, &record);
}

int read_gripper_list_at(byte_reader *in, uint16_t *count_out, gripper **array_out,
                         int32_t *record) {
    *count_out = 0;
    *array_out = nullptr;
    uint16_t count = 0;
    if (get_u16(in, &count)) return 1;
    if (count == 0) return 0;
    *array_out = alloc_elements<gripper>(count);
    if (!*array_out) return 1;
    *count_out = count;
    for (uint16_t i = 0; i < count; ++i) {
        *record = i;
        gripper &grip = (*array_out)[i];
        if (get_u16(in, &grip.name_length)) return 2;
        if (read_text(in, grip.name_length, &grip.name, 3)) return 3;
        mat4_identity(grip.local);
        for (int column = 0; column < 4; ++column)
            if (get_vec3(in, grip.local + 4 * column)) return 2 + column;
        if (get_u16(in, &grip.bone)) return 6;
    }
    return 0;
}

namespace {

// ---- sections --------------------------------------------------------------------------------

int read_header(byte_reader *in, tkm_mesh *mesh, const char *path, read_place &place,
                read_failure *record) {
    place = {tkm_in_header, -1};
    if (int code = read_magic(in, tkm_magic, path, record)) return code;
    if (get_u16(in, &mesh->header_word)) return tkm_code_header_word;
    if (skip_bytes(in, 4)) return tkm_code_name;
    if (get_u16(in, &mesh->name_length)) return tkm_code_name_length;
    return read_text(in, mesh->name_length, &mesh->name, 4);
}

int read_skeleton(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_bones, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_bone_count;
    mesh->bones = alloc_elements<tkm_bone>(count);
    if (!mesh->bones) return tkm_code_bone_count;
    mesh->num_bones = count;
    return read_bones_at(in, count, mesh->bones, &place.record);
}

// Reads the run list; *provisional_blends receives the end marker's second field (0 without one).
int read_runs(byte_reader *in, tkm_mesh *mesh, uint16_t *provisional_blends, read_place &place) {
    place = {tkm_in_runs, -1};
    uint16_t declared = 0;
    if (get_u16(in, &declared)) return tkm_code_run_count;
    mesh->runs = alloc_elements<bone_run>(declared);
    if (!mesh->runs) return tkm_code_run_count;
    mesh->num_runs = declared;
    mesh->declared_run_count = 0;
    *provisional_blends = 0;
    for (uint16_t i = 0; i < declared; ++i) {
        place.record = i;
        bone_run &run = mesh->runs[i];
        if (get_u16(in, &run.bone)) return tkm_code_run_bone;
        if (run.bone == tkm_run_end_marker) {
            mesh->declared_run_count = declared;
            mesh->num_runs = i;
            place.record = -1;
            if (get_u16(in, provisional_blends) || skip_bytes(in, 4))
                return tkm_code_run_end_fields;
            return 0;
        }
        if (run.bone >= mesh->num_bones) return tkm_code_run_bone;
        if (get_u16(in, &run.first_vertex)) return tkm_code_run_first_vertex;
        if (get_u16(in, &run.vertex_count)) return tkm_code_run_vertex_count;
        if (skip_bytes(in, 2)) return tkm_code_run_pad;
    }
    return 0;
}

int read_vertices(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_vertices, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_vertex_count;
    mesh->vertices = alloc_elements<tkm_vertex>(count);
    if (!mesh->vertices) return tkm_code_vertex_count;
    mesh->num_vertices = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        mat4_identity(mesh->vertices[i].local);
        if (get_vec3(in, mesh->vertices[i].local + 12)) return tkm_code_vertex_position;
    }
    return 0;
}

// Checks the runs against the vertex count (plus the marker's provisional count) and binds the
// vertices. A run may reach past the stored vertices only through that provisional count; the
// vertices that do not exist are left alone. The writer stores the vertex count in that field, so
// a provisional count above it is taken as the vertex count: a run that only a larger one lets
// through would make a saved copy that this reader refuses.
int bind_runs(tkm_mesh *mesh, uint16_t provisional_blends, const char *path, read_place &place,
              read_failure *record) {
    place = {tkm_in_runs, -1};
    const uint32_t widening = std::min(provisional_blends, mesh->num_vertices);
    const uint32_t limit = uint32_t{mesh->num_vertices} + widening;
    for (uint16_t r = 0; r < mesh->num_runs; ++r) {
        const bone_run &run = mesh->runs[r];
        place.record = r;
        if (run.first_vertex >= limit || uint32_t{run.first_vertex} + run.vertex_count > limit) {
            record->notice = std::string(path) + ": bone run " + std::to_string(r) +
                             " reaches past the " + std::to_string(mesh->num_vertices) +
                             " vertices of the file";
            record->notice_outlet = failure_outlet_error;
            return tkm_code_run_vertex_count;
        }
    }
    for (uint16_t r = 0; r < mesh->num_runs; ++r) {
        const bone_run &run = mesh->runs[r];
        uint32_t end = uint32_t{run.first_vertex} + run.vertex_count;
        if (end > mesh->num_vertices) end = mesh->num_vertices;
        for (uint32_t v = run.first_vertex; v < end; ++v)
            mesh->vertices[v].bone = run.bone;
    }
    return 0;
}

int read_blends(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_blends, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_blend_count;
    if (get_f32(in, &mesh->blend_aux)) return tkm_code_blend_aux;
    if (count == 0) return 0;
    mesh->blends = alloc_elements<blend_vertex>(count);
    if (!mesh->blends) return tkm_code_blend_count;
    mesh->num_blends = count;
    for (uint16_t b = 0; b < count; ++b) {
        place.record = b;
        blend_vertex &blend = mesh->blends[b];
        uint16_t components = 0;
        if (get_u16(in, &components)) return tkm_code_blend_components;
        if (!records_fit(in, components, 6)) {
            // The file ends inside this blend vertex: report the field that fails first.
            uint16_t index = 0;
            float weight = 0.0f;
            for (;;) {
                if (get_u16(in, &index)) return tkm_code_blend_vertex;
                if (get_f32(in, &weight) || index >= mesh->num_vertices)
                    return tkm_code_blend_weight;
            }
        }
        blend.vertices = alloc_elements<uint16_t>(components);
        blend.weights = alloc_elements<float>(components);
        if (!blend.vertices || !blend.weights) return tkm_code_blend_components;
        blend.count = components;
        for (uint16_t c = 0; c < components; ++c) {
            if (get_u16(in, &blend.vertices[c])) return tkm_code_blend_vertex;
            if (get_f32(in, &blend.weights[c])) return tkm_code_blend_weight;
            if (blend.vertices[c] >= mesh->num_vertices) return tkm_code_blend_weight;
        }
    }
    return 0;
}

int read_texcoords(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_texcoords, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_texcoord_count;
    mesh->texcoords = alloc_elements<tkm_texcoord>(count);
    if (!mesh->texcoords) return tkm_code_texcoord_count;
    mesh->num_texcoords = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        if (get_f32(in, &mesh->texcoords[i].u) || get_f32(in, &mesh->texcoords[i].v))
            return tkm_code_texcoord;
    }
    return 0;
}

int read_corners(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_corners, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_corner_count;
    mesh->corners = alloc_elements<tkm_corner>(count);
    if (!mesh->corners) return tkm_code_corner_count;
    mesh->num_corners = count;
    uint32_t vertex_limit = uint32_t{mesh->num_vertices} + mesh->num_blends;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        tkm_corner &corner = mesh->corners[i];
        if (get_u16(in, &corner.texcoord) || corner.texcoord >= mesh->num_texcoords)
            return tkm_code_corner_texcoord;
        if (get_u16(in, &corner.vertex) || corner.vertex >= vertex_limit)
            return tkm_code_corner_vertex;
        if (get_u16(in, &corner.aux1)) return tkm_code_corner_aux1;
        if (get_u16(in, &corner.aux2)) return tkm_code_corner_aux2;
    }
    return 0;
}

int read_triangles(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_triangles, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_triangle_count;
    mesh->triangles = alloc_elements<tkm_triangle>(count);
    if (!mesh->triangles) return tkm_code_triangle_count;
    mesh->num_triangles = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        uint16_t *corners = mesh->triangles[i].corners;
        for (int k = 0; k < 3; ++k)
            if (get_u16(in, &corners[k])) return tkm_code_triangle_corners;
        for (int k = 0; k < 3; ++k)
            if (corners[k] >= mesh->num_corners) return tkm_code_triangle_corners;
        if (skip_bytes(in, 2)) return tkm_code_triangle_pad;
    }
    return 0;
}

int read_material_runs(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_material_runs, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_material_run_count;
    mesh->material_runs = alloc_elements<material_run>(count);
    if (!mesh->material_runs) return tkm_code_material_run_count;
    mesh->num_material_runs = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        material_run &run = mesh->material_runs[i];
        if (get_u16(in, &run.material)) return tkm_code_material_run_material;
        if (get_u16(in, &run.first_triangle)) return tkm_code_material_run_first;
        if (get_u16(in, &run.triangle_count)) return tkm_code_material_run_triangles;
        if (run.first_triangle >= mesh->num_triangles ||
            uint32_t{run.first_triangle} + run.triangle_count > mesh->num_triangles)
            return tkm_code_material_run_triangles;
        if (skip_bytes(in, 2)) return tkm_code_material_run_pad;
    }
    return 0;
}

int read_triangle_lists(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_triangle_lists, -1};
    if (get_u32(in, &mesh->list_aux)) return tkm_code_list_aux;
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_list_count;
    mesh->triangle_lists = alloc_elements<triangle_list>(count);
    if (!mesh->triangle_lists) return tkm_code_list_count;
    mesh->num_triangle_lists = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        triangle_list &list = mesh->triangle_lists[i];
        uint16_t entries = 0;
        if (get_u16(in, &entries)) return tkm_code_list_length;
        if (!records_fit(in, entries, 2)) {
            // The file ends among the entries: read up to its end, so the failure is seen there.
            uint16_t entry = 0;
            while (!get_u16(in, &entry)) {
            }
            return tkm_code_list_entry;
        }
        list.triangles = alloc_elements<uint16_t>(entries);
        if (!list.triangles) return tkm_code_list_length;
        list.count = entries;
        for (uint16_t k = 0; k < entries; ++k)
            if (get_u16(in, &list.triangles[k])) return tkm_code_list_entry;
    }
    return 0;
}

int read_texture_names(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_texture_names, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_texture_count;
    if (count == 0) return 0;
    mesh->texture_names = alloc_elements<texture_name>(count);
    if (!mesh->texture_names) return tkm_code_texture_count;
    mesh->num_texture_names = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        texture_name &name = mesh->texture_names[i];
        if (get_u16(in, &name.length)) return tkm_code_texture_length;
        if (read_text(in, name.length, &name.path, tkm_code_texture_text))
            return tkm_code_texture_text;
        if (skip_bytes(in, 2)) return tkm_code_texture_pad;
        set_texture_base(&name);
        name.hidden = 0;
    }
    return 0;
}

int read_material(byte_reader *in, const tkm_mesh *mesh, tkm_material &material) {
    if (skip_bytes(in, 2)) return tkm_code_material_index;
    if (get_u16(in, &material.name_length)) return tkm_code_material_name_length;
    if (read_text(in, material.name_length, &material.name, tkm_code_material_name))
        return tkm_code_material_name;
    uint16_t refs = 0;
    if (get_u16(in, &refs)) return tkm_code_material_ref_count;
    if (refs != 0) {
        if (!records_fit(in, refs, 4)) {
            // The file ends among the references: report the field that fails first.
            uint16_t value = 0;
            for (;;) {
                if (get_u16(in, &value)) return tkm_code_material_ref_aux;
                if (get_u16(in, &value) || value >= mesh->num_texture_names)
                    return tkm_code_material_ref_texture;
            }
        }
        material.texture_refs = alloc_elements<texture_ref>(refs);
        if (!material.texture_refs) return tkm_code_material_ref_count;
        material.num_texture_refs = refs;
        for (uint16_t r = 0; r < refs; ++r) {
            texture_ref &ref = material.texture_refs[r];
            if (get_u16(in, &ref.aux)) return tkm_code_material_ref_aux;
            if (get_u16(in, &ref.texture) || ref.texture >= mesh->num_texture_names)
                return tkm_code_material_ref_texture;
        }
    }
    if (get_u16(in, &material.aux_word)) return tkm_code_material_aux_word;
    if (get_vec3(in, material.diffuse)) return tkm_code_material_diffuse;
    if (get_vec3(in, material.ambient)) return tkm_code_material_ambient;
    if (get_vec3(in, material.specular)) return tkm_code_material_specular;
    if (get_f32(in, &material.aux_float1)) return tkm_code_material_aux_float1;
    if (get_f32(in, &material.transparency)) return tkm_code_material_transparency;
    if (get_u8(in, &material.two_sided)) return tkm_code_material_two_sided;
    if (get_f32(in, &material.emission)) return tkm_code_material_emission;
    if (get_f32(in, &material.shininess)) return tkm_code_material_shininess;
    if (get_f32(in, &material.aux_float2)) return tkm_code_material_aux_float2;
    derive_material_values(&material);
    return 0;
}

int read_materials(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_materials, -1};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tkm_code_material_count;
    mesh->materials = alloc_elements<tkm_material>(count);
    if (!mesh->materials) return tkm_code_material_count;
    mesh->num_materials = count;
    for (uint16_t i = 0; i < count; ++i) {
        place.record = i;
        if (int code = read_material(in, mesh, mesh->materials[i])) return code;
    }
    place = {tkm_in_material_runs, -1};
    for (uint16_t i = 0; i < mesh->num_material_runs; ++i) {
        place.record = i;
        if (mesh->material_runs[i].material >= mesh->num_materials)
            return tkm_code_material_run_material;
    }
    return 0;
}

int read_attachments(byte_reader *in, tkm_mesh *mesh, read_place &place) {
    place = {tkm_in_grips, -1};
    if (read_gripper_list_at(in, &mesh->num_grips, &mesh->grips, &place.record))
        return tkm_code_grips;
    place = {tkm_in_grippers, -1};
    if (read_gripper_list_at(in, &mesh->num_grippers, &mesh->grippers, &place.record))
        return tkm_code_grippers;
    place = {tkm_in_grips, -1};
    for (uint16_t i = 0; i < mesh->num_grips; ++i) {
        place.record = i;
        if (mesh->grips[i].bone >= mesh->num_bones) return tkm_code_material_run_material;
    }
    place = {tkm_in_grippers, -1};
    for (uint16_t i = 0; i < mesh->num_grippers; ++i) {
        place.record = i;
        if (mesh->grippers[i].bone >= mesh->num_bones) return tkm_code_material_run_material;
    }
    return 0;
}

// Every section in file order; the first failing one's code, with place where it stopped.
int read_sections(byte_reader *in, tkm_mesh *mesh, const char *path, read_place &place,
                  read_failure *record) {
    if (int code = read_header(in, mesh, path, place, record)) return code;
    if (int code = read_skeleton(in, mesh, place)) return code;
    uint16_t provisional_blends = 0;
    if (int code = read_runs(in, mesh, &provisional_blends, place)) return code;
    if (int code = read_vertices(in, mesh, place)) return code;
    if (int code = bind_runs(mesh, provisional_blends, path, place, record)) return code;
    if (int code = read_blends(in, mesh, place)) return code;
    if (int code = read_texcoords(in, mesh, place)) return code;
    if (int code = read_corners(in, mesh, place)) return code;
    if (int code = read_triangles(in, mesh, place)) return code;
    if (int code = read_material_runs(in, mesh, place)) return code;
    if (int code = read_triangle_lists(in, mesh, place)) return code;
    if (int code = read_texture_names(in, mesh, place)) return code;
    if (int code = read_materials(in, mesh, place)) return code;
    return read_attachments(in, mesh, place);
}

} // namespace

// ---- read_tkm --------------------------------------------------------------------------------

int read_tkm(tkm_mesh *mesh, const char *path) {
    return read_tkm_explained(mesh, path, nullptr);
}

int read_tkm_explained(tkm_mesh *mesh, const char *path, read_failure *failure) {
    if (failure) *failure = read_failure{};
    std::vector<uint8_t> bytes;
    int reason = 0;
    if (read_file_bytes(path, &bytes, &reason) != file_bytes_read) {
        if (failure) {
            explain_tkm_failure(mesh, path, tkm_code_not_a_tkm, read_place{}, failure);
            failure->reason = reason;
        }
        return tkm_code_not_a_tkm;
    }
    return read_tkm_memory(mesh, bytes.data(), bytes.size(), path, failure);
}

int read_tkm_memory(tkm_mesh *mesh, const uint8_t *data, size_t size, const char *path,
                    read_failure *failure) {
    // Without a record to hand it to, the reader's notice is printed here.
    read_failure own;
    read_failure *record = failure ? failure : &own;
    *record = read_failure{};
    byte_reader in = make_byte_reader(data, size);
    read_place place;
    int code = read_sections(&in, mesh, path, place, record);
    if (code) {
        note_stop(in, record);
        explain_tkm_failure(mesh, path, code, place, record);
    }
    if (!failure) print_failure_notice(own);
    if (code == 0) mesh->class_name = model_class_name(mesh);
    return code;
}
