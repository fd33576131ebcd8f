// SPDX-License-Identifier: MIT
// The material step of the TKM builder: materials and the texture names they use.
#include <cstring>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"

namespace {

// A colour in 0..1 with its own alpha as a mesh colour (0..255, alpha applied).
void scale_colour(float *out, const float *colour) {
    for (int i = 0; i < 3; i++)
        out[i] = colour[i] * 255.0f * colour[3];
}

// A TKM file stores names with a 16-bit length and cannot hold an empty material name, so a model
// with one could be shown but never saved.
int check_materials(const scene_model *scene) {
    if (scene->materials.size() > tkm_most_elements) {
        real_meow("The model has %zu materials, more than the %u a TKM can hold.  Can't use this "
                  "model!\n",
                  scene->materials.size(), unsigned{tkm_most_elements});
        return 1;
    }
    for (size_t i = 0; i < scene->materials.size(); i++) {
        const scene_material &material = scene->materials[i];
        if (material.name.size() > tkm_most_elements ||
            material.texture.size() > tkm_most_elements) {
            real_meow("Material %zu has a name longer than a TKM can hold.  Can't use this "
                      "model!\n",
                      i);
            return 1;
        }
        if (material.name.empty()) {
            real_meow("Material %zu has no name.  Can't use this model!\n", i);
            return 1;
        }
    }
    return 0;
}

} // namespace

int convert_materials(tkm_mesh *mesh, const scene_model *scene) {
    if (check_materials(scene)) return 1;
    const uint16_t count = static_cast<uint16_t>(scene->materials.size());
    mesh->texture_names = alloc_elements<texture_name>(count);
    mesh->materials = alloc_elements<tkm_material>(count);
    if (!mesh->texture_names || !mesh->materials) return 1;
    mesh->num_texture_names = count;
    mesh->num_materials = count;
    uint16_t used = 0;
    for (uint16_t i = 0; i < count; i++) {
        const scene_material &source = scene->materials[i];
        tkm_material &material = mesh->materials[i];
        const uint16_t name_length = static_cast<uint16_t>(source.name.size());
        material.name = alloc_counted_string(source.name.data(), name_length);
        if (!material.name) return 1;
        material.name_length = name_length;
        material.aux_word = 3;
        scale_colour(material.diffuse, source.diffuse);
        scale_colour(material.ambient, source.ambient);
        scale_colour(material.specular, source.specular);
        material.transparency = 1.0f - source.transparency;
        material.emission = source.emissive[3];
        material.shininess = source.shininess * 0.0078125f;
        material.aux_float2 = 0.05f;
        derive_material_values(&material);
        if (source.texture.empty()) continue;
        texture_name &name = mesh->texture_names[used];
        const uint16_t path_length = static_cast<uint16_t>(source.texture.size());
        name.path = alloc_counted_string(source.texture.data(), path_length);
        material.texture_refs = alloc_elements<texture_ref>(1);
        if (!name.path || !material.texture_refs) return 1;
        name.length = path_length;
        set_texture_base(&name);
        name.hidden = 0;
        material.num_texture_refs = 1;
        material.texture_refs[0] = {1, used};
        used++;
    }
    if (used < mesh->num_texture_names) {
        texture_name *names = used ? alloc_elements<texture_name>(used) : nullptr;
        if (used && !names) return 1;
        if (used) std::memcpy(names, mesh->texture_names, used * sizeof(texture_name));
        // The base pointers point into the paths, which move along unchanged.
        cleanup_one(mesh->texture_names);
        mesh->texture_names = names;
        mesh->num_texture_names = used;
    }
    return 0;
}
