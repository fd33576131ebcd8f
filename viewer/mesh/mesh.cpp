// SPDX-License-Identifier: MIT
// Creating, classifying and releasing meshes, and the values derived from their stored fields.
#include "viewer/mesh/mesh.h"

#include <atomic>
#include <cstring>

#include "viewer/math/math3d.h"

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
