// SPDX-License-Identifier: MIT
// The TKM builder's driver: the model's name and bones, the merge of the scene's vertices when
// converting, then vertices, triangles and materials in order, then the class.
//
// Index: build_tkm_bones | the rest of the build | convert_scene_to_tkm | build_tkm
#include "viewer/scene/tkm_builder.h"

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/class_skeleton_checks.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/unbound_vertices.h"

// ---- build_tkm_bones

int build_tkm_bones(tkm_mesh *mesh, const scene_model &scene, const tkm_build_options &options) {
    if (scene.name.empty() || scene.name.size() > tkm_most_elements) {
        real_meow("The model's name is empty or longer than a TKM can hold.  Can't use this "
                  "model!\n");
        return tkm_build_failed_bones;
    }
    mesh->header_word = 1029;
    const uint16_t length = static_cast<uint16_t>(scene.name.size());
    mesh->name = alloc_counted_string(scene.name.data(), length);
    if (!mesh->name) return tkm_build_failed_bones;
    mesh->name_length = length;
    mesh->num_blends = 0;
    mesh->blends = nullptr;
    if (convert_bones(mesh, &scene, options.reference_skeletons)) return tkm_build_failed_bones;
    // A rig made elsewhere can share a class's bone count and nothing else: its joints must not
    // vanish without a word.
    class_skeleton_change change;
    if (options.reference_skeletons && compare_with_class_skeleton(scene, *mesh, &change))
        note_replaced_skeleton(options.source, model_class_name(mesh), change);
    return tkm_build_done;
}

// ---- the rest of the build

namespace {

// Vertices, triangles and materials of a merged scene onto the mesh's bones, then the class.
int build_tkm_geometry(tkm_mesh *mesh, const scene_model &scene, const tkm_build_options &options) {
    std::vector<uint32_t> tkm_index;
    if (assign_vertices(mesh, &scene, &tkm_index)) return tkm_build_failed_vertices;
    if (convert_triangles(mesh, &scene, tkm_index, options.method, options.source))
        return tkm_build_failed_triangles;
    if (convert_materials(mesh, &scene)) return tkm_build_failed_materials;
    mesh->class_name = model_class_name(mesh);
    return tkm_build_done;
}

} // namespace

// ---- convert_scene_to_tkm

int convert_scene_to_tkm(tkm_mesh *mesh, scene_model *scene, const tkm_build_options &options) {
    // Before the bones: the root joint made for a model without joints becomes a bone.
    if (options.bind_unbound == unbound_binding::nearest) bind_unbound_vertices(scene);
    // The merge runs after the bones so that their notes come first, as the user has seen them.
    if (int code = build_tkm_bones(mesh, *scene, options)) return code;
    if (merge_scene_vertices(scene, options.method, options.source))
        return tkm_build_failed_vertices;
    return build_tkm_geometry(mesh, *scene, options);
}

// ---- build_tkm

int build_tkm(tkm_mesh *mesh, const scene_model &scene, const tkm_build_options &options) {
    if (int code = build_tkm_bones(mesh, scene, options)) return code;
    return build_tkm_geometry(mesh, scene, options);
}
