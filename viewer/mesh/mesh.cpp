// SPDX-License-Identifier: MIT
// Creating, classifying and releasing meshes.
#include "viewer/mesh/mesh.h"

#include <atomic>
#include <cstring>

namespace {

std::atomic<uint32_t> models_changed{0};
// Installed by the drawing layer when it makes the first texture; the model code calls no GL.
texture_release texture_releaser = nullptr;

} // namespace

uint32_t model_generation() {
    return models_changed.load(std::memory_order_relaxed);
}

void note_model_change() {
    models_changed.fetch_add(1, std::memory_order_relaxed);
}

tkm_mesh *create_mesh() {
    note_model_change();
    return alloc_elements<tkm_mesh>(1);
}

char *alloc_counted_string(const char *text, uint16_t length) {
    char *block = alloc_elements<char>(uint32_t{length} + 1);
    if (block && text && length) std::memcpy(block, text, length);
    return block;
}

namespace {

struct class_rule {
    uint16_t num_bones;
    const char *with_attachments; // grips for weapons, grippers for characters
    const char *without_attachments;
    bool by_grips;
};

// Known skeletons of the game; every other bone count is "unknown".
constexpr class_rule class_rules[] = {
    {2, "weapon", "unknown", true},
    {34, "female badguy", "female hostage or priest", false},
    {37, "male badguy", "male hostage", false},
    {40, "child", "child", false},
    {52, "officer", "officer", false},
};

// Frees a counted string's block and clears both. A block beside a zero length is freed too: a
// reader that failed on an empty name has allocated its terminator already.
void release_string(uint16_t *length, char **text) {
    cleanup_one(*text);
    *length = 0;
    *text = nullptr;
}

// Frees a plain element array (null is ignored) and clears both.
template <typename T> void release_plain(uint16_t *count, T **array) {
    cleanup_one(*array);
    *count = 0;
    *array = nullptr;
}

} // namespace

const char *model_class_name(const tkm_mesh *mesh) {
    for (const class_rule &rule : class_rules) {
        if (rule.num_bones != mesh->num_bones) continue;
        uint16_t attachments = rule.by_grips ? mesh->num_grips : mesh->num_grippers;
        return attachments != 0 ? rule.with_attachments : rule.without_attachments;
    }
    return "unknown";
}

void release_bones(uint16_t count, tkm_bone *bones, uint32_t with_frames) {
    if (!bones) return;
    for (uint16_t i = 0; i < count; ++i) {
        tkm_bone &bone = bones[i];
        release_string(&bone.name_length, &bone.name);
        if (with_frames) {
            cleanup_one(bone.frame_rotations);
            cleanup_one(bone.frame_locals);
            cleanup_one(bone.frame_worlds);
        }
        bone.frame_rotations = nullptr;
        bone.frame_locals = nullptr;
        bone.frame_worlds = nullptr;
    }
    cleanup_one(bones);
}

void set_texture_release(texture_release release) {
    texture_releaser = release;
}

void release_gl_textures(gl_texture_table *table) {
    if (table->num_textures == 0) return;
    // One at a time: a table only partly filled by a failed load still holds valid names first.
    for (uint32_t i = 0; i < table->num_textures; ++i) {
        if (table->textures && table->textures[i] != 0 && texture_releaser)
            texture_releaser(table->textures[i]);
    }
    cleanup_one(table->textures);
    cleanup_one(table->loaded);
    table->textures = nullptr;
    table->loaded = nullptr;
    table->num_textures = 0;
}

void release_blend_vertices(uint16_t count, blend_vertex *blends) {
    if (!blends) return;
    for (uint16_t i = 0; i < count; ++i) {
        blend_vertex &blend = blends[i];
        cleanup_one(blend.vertices);
        cleanup_one(blend.weights);
        blend.count = 0;
        blend.vertices = nullptr;
        blend.weights = nullptr;
    }
    cleanup_one(blends);
}

void release_grippers(uint16_t count, gripper *grippers) {
    if (!grippers) return;
    for (uint16_t i = 0; i < count; ++i)
        release_string(&grippers[i].name_length, &grippers[i].name);
    cleanup_one(grippers);
}

void release_materials(uint16_t count, tkm_material *materials) {
    if (!materials) return;
    for (uint16_t i = 0; i < count; ++i) {
        tkm_material &material = materials[i];
        release_string(&material.name_length, &material.name);
        release_plain(&material.num_texture_refs, &material.texture_refs);
    }
    cleanup_one(materials);
}

void release_triangle_lists(uint16_t count, triangle_list *lists) {
    if (!lists) return;
    for (uint16_t i = 0; i < count; ++i)
        release_plain(&lists[i].count, &lists[i].triangles);
    cleanup_one(lists);
}

void release_texture_names(uint16_t count, texture_name *names) {
    if (!names) return;
    for (uint16_t i = 0; i < count; ++i) {
        release_string(&names[i].length, &names[i].path);
        names[i].base = nullptr;
        names[i].base_length = 0;
    }
    cleanup_one(names);
}

void release_mesh(tkm_mesh *mesh) {
    if (!mesh) return;
    note_model_change();
    release_string(&mesh->name_length, &mesh->name);
    release_bones(mesh->num_bones, mesh->bones, 0);
    mesh->num_bones = 0;
    mesh->bones = nullptr;
    release_plain(&mesh->num_runs, &mesh->runs);
    mesh->declared_run_count = 0;
    release_plain(&mesh->num_vertices, &mesh->vertices);
    release_blend_vertices(mesh->num_blends, mesh->blends);
    mesh->num_blends = 0;
    mesh->blends = nullptr;
    release_plain(&mesh->num_texcoords, &mesh->texcoords);
    release_plain(&mesh->num_corners, &mesh->corners);
    release_plain(&mesh->num_triangles, &mesh->triangles);
    release_plain(&mesh->num_material_runs, &mesh->material_runs);
    release_triangle_lists(mesh->num_triangle_lists, mesh->triangle_lists);
    mesh->num_triangle_lists = 0;
    mesh->triangle_lists = nullptr;
    mesh->list_aux = 0;
    release_texture_names(mesh->num_texture_names, mesh->texture_names);
    mesh->num_texture_names = 0;
    mesh->texture_names = nullptr;
    release_materials(mesh->num_materials, mesh->materials);
    mesh->num_materials = 0;
    mesh->materials = nullptr;
    release_grippers(mesh->num_grips, mesh->grips);
    mesh->num_grips = 0;
    mesh->grips = nullptr;
    release_grippers(mesh->num_grippers, mesh->grippers);
    mesh->num_grippers = 0;
    mesh->grippers = nullptr;
    release_gl_textures(&mesh->gl_textures);
    release_string(&mesh->directory_length, &mesh->directory);
    mesh->class_name = nullptr;
    cleanup_one(mesh);
}
