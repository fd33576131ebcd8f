// SPDX-License-Identifier: MIT
// The TKM builder's driver: the model's name, then the four steps in order, then the class.
#include "viewer/scene/tkm_builder.h"

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/scene.h"

int build_tkm(tkm_mesh *mesh, scene_model *scene, const tkm_build_options &options) {
    if (scene->name.empty() || scene->name.size() > tkm_most_elements) {
        real_meow("The model's name is empty or longer than a TKM can hold.  Can't use this "
                  "model!\n");
        return 1;
    }
    mesh->header_word = 1029;
    const uint16_t length = static_cast<uint16_t>(scene->name.size());
    mesh->name = alloc_counted_string(scene->name.data(), length);
    if (!mesh->name) return 1;
    mesh->name_length = length;
    mesh->num_blends = 0;
    mesh->blends = nullptr;
    if (convert_bones(mesh, scene, options.reference_skeletons)) return 1;
    if (assign_vertices(mesh, scene, options.method, options.source)) return 2;
    if (convert_triangles(mesh, scene, options.method, options.source)) return 3;
    if (convert_materials(mesh, scene)) return 4;
    mesh->class_name = model_class_name(mesh);
    return 0;
}
