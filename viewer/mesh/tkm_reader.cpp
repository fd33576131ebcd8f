// SPDX-License-Identifier: MIT
// Reading TKM files: one function per file section, each returning the code of its failing field.
//
// Index: on-disk layout; derived values (texture base, material, bone matrices); bones and
// grippers; sections; read_tkm.
//
// On-disk layout (little-endian, u16 unless noted; every count precedes its records):
//   header      16 magic, header_word, u16 (1), u16 (0), name length, name
//   bones       count; per bone: own index, name length, name, parent, vec3 position, quat rotation
//   runs        count N; up to N x 8: bone (0xEEEE ends the list), first vertex, vertex count, pad
//               after an end marker: u16 S (written as the vertex count; the reader lets runs
//               reach up to S vertices past the stored ones, S at most the vertex count) and 4
//               more octets
//   vertices    count; vec3 per vertex, relative to its bone
//   blends      count; f32 blend_aux; per blend: k, then k x (vertex index, f32 weight)
//   texcoords   count; 2 x f32 each
//   corners     count; texcoord, vertex, aux1, aux2
//   triangles   count; 3 corner indices, pad
//   mat. runs   count; material, first triangle, triangle count, pad
//   list_aux    4 octets
//   tri. lists  count; per list: k, k triangle indices
//   textures    count; per name: length, text, pad
//   materials   count; per material: own index, name length, name, reference count,
//               (aux, texture) pairs, aux_word, vec3 diffuse, ambient, specular, f32 aux_float1,
//               f32 transparency, u8 two_sided, f32 emission, f32 shininess, f32 aux_float2
//   grips       count; per record: name length, name, 4 x vec3 columns of local, bone
//   grippers    as grips
#include "viewer/mesh/tkm_reader.h"

#include <algorithm>
#include <cstring>

#include "support/file.h"
#include "viewer/mesh/binary_read.h"
#include "viewer/math/math3d.h"

namespace {

constexpr uint8_t tkm_magic[16] = {0x72, 0xF6, 0x63, 0x1E, 0x5E, 0x47, 0xD2, 0x11,
                                   0x87, 0x99, 0x00, 0x20, 0xAF, 0xE6, 0x36, 0xEE};
constexpr uint16_t run_end_marker = 0xEEEE;

// Reads a counted string's text of length octets into a new block; code on any failure (a
// length of 0 fails like the zero-octet read it is). The block is kept in *text even on failure.
int read_text(FILE *stream, uint16_t length, char **text, int code) {
    *text = alloc_counted_string(nullptr, length);
    if (!*text || get_bytes(stream, *text, length)) return code;
    return 0;
}

} // namespace

// ---- derived values ------------------------------------------------------------------------

void set_texture_base(texture_name *name) {
    uint32_t length = name->length;
    if (length == 0 && name->path) length = static_cast<uint32_t>(std::strlen(name->path));
    uint32_t start = 0;
    for (uint32_t i = length; i-- > 1;) {
        if (name->path[i] == '\\' || name->path[i] == '/') {
            start = i + 1;
            break;
        }
    }
    name->base = name->path ? name->path + start : nullptr;
    name->base_length = static_cast<uint16_t>(length - start);
}

void derive_material_values(tkm_material *material) {
    material->opacity = 1.0f - material->transparency;
    material->gl_face = material->two_sided ? gl_front_and_back_face : gl_front_face;
    for (int i = 0; i < 3; ++i) {
        material->gl_diffuse[i] = material->diffuse[i] / 255.0f;
        material->gl_ambient[i] = material->ambient[i] / 255.0f;
        material->gl_specular[i] = material->specular[i] / 255.0f;
        material->gl_emission[i] = material->emission / 100.0f;
    }
    material->gl_diffuse[3] = material->opacity;
    material->gl_ambient[3] = material->opacity;
    material->gl_specular[3] = material->opacity;
    material->gl_emission[3] = material->opacity;
    material->gl_shininess = material->shininess / 100.0f;
}

void derive_bone_matrices(tkm_bone *bones, uint16_t index) {
    tkm_bone &bone = bones[index];
    quat_to_mat4(bone.local, bone.rotation);
    bone.local[12] = bone.position[0];
    bone.local[13] = bone.position[1];
    bone.local[14] = bone.position[2];
    if (has_parent(bone.parent, index))
        mat4_multiply(bone.world, bones[bone.parent].world, bone.local);
    else
        std::memcpy(bone.world, bone.local, sizeof bone.world);
}

// ---- magic, bones and grippers (shared with TKA files) ------------------------------------

int read_magic(FILE *stream, const uint8_t *magic, const char *path) {
    char read[17] = {};
    uint32_t count = 0;
    if (try_read(stream, read, 16, &count) != 0) return 2;
    // Only the magic's first eleven octets take part: the comparison stops at its zero octet. A
    // file shorter than the magic is no model at all, whatever its first octets are.
    if (count < 16 || !str_equals(read, reinterpret_cast<const char *>(magic))) {
        real_meow("%s is not a TKM\n", path);
        return 1;
    }
    return 0;
}

int read_bones(FILE *stream, uint16_t count, tkm_bone *bones) {
    for (uint16_t i = 0; i < count; ++i) {
        tkm_bone &bone = bones[i];
        if (skip_bytes(stream, 2)) return 6;
        if (get_u16(stream, &bone.name_length)) return 7;
        if (read_text(stream, bone.name_length, &bone.name, 8)) return 8;
        // A parent that does not come before the bone is kept as stored (it is written back) but
        // the bone is placed as a root: see has_parent.
        if (get_u16(stream, &bone.parent)) return 9;
        if (get_vec3(stream, bone.position)) return 10;
        if (get_vec4(stream, bone.rotation)) return 11;
    }
    for (uint16_t i = 0; i < count; ++i)
        derive_bone_matrices(bones, i);
    return 0;
}

int read_gripper_list(FILE *stream, uint16_t *count_out, gripper **array_out) {
    *count_out = 0;
    *array_out = nullptr;
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 1;
    if (count == 0) return 0;
    *array_out = alloc_elements<gripper>(count);
    if (!*array_out) return 1;
    *count_out = count;
    for (uint16_t i = 0; i < count; ++i) {
        gripper &grip = (*array_out)[i];
        if (get_u16(stream, &grip.name_length)) return 2;
        if (read_text(stream, grip.name_length, &grip.name, 3)) return 3;
        mat4_identity(grip.local);
        for (int column = 0; column < 4; ++column)
            if (get_vec3(stream, grip.local + 4 * column)) return 2 + column;
        if (get_u16(stream, &grip.bone)) return 6;
    }
    return 0;
}

namespace {

// ---- sections --------------------------------------------------------------------------------

int read_header(FILE *stream, tkm_mesh *mesh, const char *path) {
    if (int code = read_magic(stream, tkm_magic, path)) return code;
    if (get_u16(stream, &mesh->header_word)) return 2;
    if (skip_bytes(stream, 4)) return 4;
    if (get_u16(stream, &mesh->name_length)) return 3;
    return read_text(stream, mesh->name_length, &mesh->name, 4);
}

int read_skeleton(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 5;
    mesh->bones = alloc_elements<tkm_bone>(count);
    if (!mesh->bones) return 5;
    mesh->num_bones = count;
    return read_bones(stream, count, mesh->bones);
}

// Reads the run list; *provisional_blends receives the end marker's second field (0 without one).
int read_runs(FILE *stream, tkm_mesh *mesh, uint16_t *provisional_blends) {
    uint16_t declared = 0;
    if (get_u16(stream, &declared)) return 12;
    mesh->runs = alloc_elements<bone_run>(declared);
    if (!mesh->runs) return 12;
    mesh->num_runs = declared;
    mesh->declared_run_count = 0;
    *provisional_blends = 0;
    for (uint16_t i = 0; i < declared; ++i) {
        bone_run &run = mesh->runs[i];
        if (get_u16(stream, &run.bone)) return 13;
        if (run.bone == run_end_marker) {
            mesh->declared_run_count = declared;
            mesh->num_runs = i;
            if (get_u16(stream, provisional_blends) || skip_bytes(stream, 4)) return 17;
            return 0;
        }
        if (run.bone >= mesh->num_bones) return 13;
        if (get_u16(stream, &run.first_vertex)) return 14;
        if (get_u16(stream, &run.vertex_count)) return 15;
        if (skip_bytes(stream, 2)) return 16;
    }
    return 0;
}

int read_vertices(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 18;
    mesh->vertices = alloc_elements<tkm_vertex>(count);
    if (!mesh->vertices) return 18;
    mesh->num_vertices = count;
    for (uint16_t i = 0; i < count; ++i) {
        mat4_identity(mesh->vertices[i].local);
        if (get_vec3(stream, mesh->vertices[i].local + 12)) return 19;
    }
    return 0;
}

// Checks the runs against the vertex count (plus the marker's provisional count) and binds the
// vertices. A run may reach past the stored vertices only through that provisional count; the
// vertices that do not exist are left alone. The writer stores the vertex count in that field, so
// a provisional count above it is taken as the vertex count: a run that only a larger one lets
// through would make a saved copy that this reader refuses.
int bind_runs(tkm_mesh *mesh, uint16_t provisional_blends, const char *path) {
    const uint32_t widening = std::min(provisional_blends, mesh->num_vertices);
    const uint32_t limit = uint32_t{mesh->num_vertices} + widening;
    for (uint16_t r = 0; r < mesh->num_runs; ++r) {
        const bone_run &run = mesh->runs[r];
        if (run.first_vertex >= limit || uint32_t{run.first_vertex} + run.vertex_count > limit) {
            real_meow("%s: bone run %u reaches past the %u vertices of the file\n", path,
                      unsigned{r}, unsigned{mesh->num_vertices});
            return 15;
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

int read_blends(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 20;
    if (get_f32(stream, &mesh->blend_aux)) return 21;
    if (count == 0) return 0;
    mesh->blends = alloc_elements<blend_vertex>(count);
    if (!mesh->blends) return 20;
    mesh->num_blends = count;
    for (uint16_t b = 0; b < count; ++b) {
        blend_vertex &blend = mesh->blends[b];
        uint16_t components = 0;
        if (get_u16(stream, &components)) return 22;
        if (!records_fit(stream, components, 6)) {
            // The file ends inside this blend vertex: report the field that fails first.
            uint16_t index = 0;
            float weight = 0.0f;
            for (;;) {
                if (get_u16(stream, &index)) return 23;
                if (get_f32(stream, &weight) || index >= mesh->num_vertices) return 24;
            }
        }
        blend.vertices = alloc_elements<uint16_t>(components);
        blend.weights = alloc_elements<float>(components);
        if (!blend.vertices || !blend.weights) return 22;
        blend.count = components;
        for (uint16_t c = 0; c < components; ++c) {
            if (get_u16(stream, &blend.vertices[c])) return 23;
            if (get_f32(stream, &blend.weights[c])) return 24;
            if (blend.vertices[c] >= mesh->num_vertices) return 24;
        }
    }
    return 0;
}

int read_texcoords(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 25;
    mesh->texcoords = alloc_elements<tkm_texcoord>(count);
    if (!mesh->texcoords) return 25;
    mesh->num_texcoords = count;
    for (uint16_t i = 0; i < count; ++i) {
        if (get_f32(stream, &mesh->texcoords[i].u) || get_f32(stream, &mesh->texcoords[i].v))
            return 26;
    }
    return 0;
}

int read_corners(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 27;
    mesh->corners = alloc_elements<tkm_corner>(count);
    if (!mesh->corners) return 27;
    mesh->num_corners = count;
    uint32_t vertex_limit = uint32_t{mesh->num_vertices} + mesh->num_blends;
    for (uint16_t i = 0; i < count; ++i) {
        tkm_corner &corner = mesh->corners[i];
        if (get_u16(stream, &corner.texcoord) || corner.texcoord >= mesh->num_texcoords) return 28;
        if (get_u16(stream, &corner.vertex) || corner.vertex >= vertex_limit) return 29;
        if (get_u16(stream, &corner.aux1)) return 30;
        if (get_u16(stream, &corner.aux2)) return 31;
    }
    return 0;
}

int read_triangles(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 32;
    mesh->triangles = alloc_elements<tkm_triangle>(count);
    if (!mesh->triangles) return 32;
    mesh->num_triangles = count;
    for (uint16_t i = 0; i < count; ++i) {
        uint16_t *corners = mesh->triangles[i].corners;
        for (int k = 0; k < 3; ++k)
            if (get_u16(stream, &corners[k])) return 33;
        for (int k = 0; k < 3; ++k)
            if (corners[k] >= mesh->num_corners) return 33;
        if (skip_bytes(stream, 2)) return 34;
    }
    return 0;
}

int read_material_runs(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 35;
    mesh->material_runs = alloc_elements<material_run>(count);
    if (!mesh->material_runs) return 35;
    mesh->num_material_runs = count;
    for (uint16_t i = 0; i < count; ++i) {
        material_run &run = mesh->material_runs[i];
        if (get_u16(stream, &run.material)) return 36;
        if (get_u16(stream, &run.first_triangle)) return 37;
        if (get_u16(stream, &run.triangle_count)) return 38;
        if (run.first_triangle >= mesh->num_triangles ||
            uint32_t{run.first_triangle} + run.triangle_count > mesh->num_triangles)
            return 38;
        if (skip_bytes(stream, 2)) return 39;
    }
    return 0;
}

int read_triangle_lists(FILE *stream, tkm_mesh *mesh) {
    if (get_u32(stream, &mesh->list_aux)) return 40;
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 41;
    mesh->triangle_lists = alloc_elements<triangle_list>(count);
    if (!mesh->triangle_lists) return 41;
    mesh->num_triangle_lists = count;
    for (uint16_t i = 0; i < count; ++i) {
        triangle_list &list = mesh->triangle_lists[i];
        uint16_t entries = 0;
        if (get_u16(stream, &entries)) return 42;
        if (!records_fit(stream, entries, 2)) return 43; // the file ends among the entries
        list.triangles = alloc_elements<uint16_t>(entries);
        if (!list.triangles) return 42;
        list.count = entries;
        for (uint16_t k = 0; k < entries; ++k)
            if (get_u16(stream, &list.triangles[k])) return 43;
    }
    return 0;
}

int read_texture_names(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 44;
    if (count == 0) return 0;
    mesh->texture_names = alloc_elements<texture_name>(count);
    if (!mesh->texture_names) return 44;
    mesh->num_texture_names = count;
    for (uint16_t i = 0; i < count; ++i) {
        texture_name &name = mesh->texture_names[i];
        if (get_u16(stream, &name.length)) return 45;
        if (read_text(stream, name.length, &name.path, 46)) return 46;
        if (skip_bytes(stream, 2)) return 47;
        set_texture_base(&name);
        name.hidden = 0;
    }
    return 0;
}

int read_material(FILE *stream, const tkm_mesh *mesh, tkm_material &material) {
    if (skip_bytes(stream, 2)) return 49;
    if (get_u16(stream, &material.name_length)) return 50;
    if (read_text(stream, material.name_length, &material.name, 51)) return 51;
    uint16_t refs = 0;
    if (get_u16(stream, &refs)) return 52;
    if (refs != 0) {
        if (!records_fit(stream, refs, 4)) {
            // The file ends among the references: report the field that fails first.
            uint16_t value = 0;
            for (;;) {
                if (get_u16(stream, &value)) return 53;
                if (get_u16(stream, &value) || value >= mesh->num_texture_names) return 54;
            }
        }
        material.texture_refs = alloc_elements<texture_ref>(refs);
        if (!material.texture_refs) return 52;
        material.num_texture_refs = refs;
        for (uint16_t r = 0; r < refs; ++r) {
            texture_ref &ref = material.texture_refs[r];
            if (get_u16(stream, &ref.aux)) return 53;
            if (get_u16(stream, &ref.texture) || ref.texture >= mesh->num_texture_names) return 54;
        }
    }
    if (get_u16(stream, &material.aux_word)) return 55;
    if (get_vec3(stream, material.diffuse)) return 56;
    if (get_vec3(stream, material.ambient)) return 57;
    if (get_vec3(stream, material.specular)) return 58;
    if (get_f32(stream, &material.aux_float1)) return 59;
    if (get_f32(stream, &material.transparency)) return 60;
    if (get_u8(stream, &material.two_sided)) return 61;
    if (get_f32(stream, &material.emission)) return 62;
    if (get_f32(stream, &material.shininess)) return 63;
    if (get_f32(stream, &material.aux_float2)) return 64;
    derive_material_values(&material);
    return 0;
}

int read_materials(FILE *stream, tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 48;
    mesh->materials = alloc_elements<tkm_material>(count);
    if (!mesh->materials) return 48;
    mesh->num_materials = count;
    for (uint16_t i = 0; i < count; ++i)
        if (int code = read_material(stream, mesh, mesh->materials[i])) return code;
    for (uint16_t i = 0; i < mesh->num_material_runs; ++i)
        if (mesh->material_runs[i].material >= mesh->num_materials) return 36;
    return 0;
}

int read_attachments(FILE *stream, tkm_mesh *mesh) {
    if (read_gripper_list(stream, &mesh->num_grips, &mesh->grips)) return 65;
    if (read_gripper_list(stream, &mesh->num_grippers, &mesh->grippers)) return 66;
    for (uint16_t i = 0; i < mesh->num_grips; ++i)
        if (mesh->grips[i].bone >= mesh->num_bones) return 36;
    for (uint16_t i = 0; i < mesh->num_grippers; ++i)
        if (mesh->grippers[i].bone >= mesh->num_bones) return 36;
    return 0;
}

// Every section in file order; the first failing one's code.
int read_sections(FILE *stream, tkm_mesh *mesh, const char *path) {
    if (int code = read_header(stream, mesh, path)) return code;
    if (int code = read_skeleton(stream, mesh)) return code;
    uint16_t provisional_blends = 0;
    if (int code = read_runs(stream, mesh, &provisional_blends)) return code;
    if (int code = read_vertices(stream, mesh)) return code;
    if (int code = bind_runs(mesh, provisional_blends, path)) return code;
    if (int code = read_blends(stream, mesh)) return code;
    if (int code = read_texcoords(stream, mesh)) return code;
    if (int code = read_corners(stream, mesh)) return code;
    if (int code = read_triangles(stream, mesh)) return code;
    if (int code = read_material_runs(stream, mesh)) return code;
    if (int code = read_triangle_lists(stream, mesh)) return code;
    if (int code = read_texture_names(stream, mesh)) return code;
    if (int code = read_materials(stream, mesh)) return code;
    return read_attachments(stream, mesh);
}

} // namespace

// ---- read_tkm --------------------------------------------------------------------------------

int read_tkm(tkm_mesh *mesh, const char *path) {
    FILE *stream = open_read(path);
    if (!stream) return 1;
    int code = read_sections(stream, mesh, path);
    close_file(stream);
    if (code == 0) mesh->class_name = model_class_name(mesh);
    return code;
}
