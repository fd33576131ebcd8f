// SPDX-License-Identifier: MIT
// The glTF reader's driver for the neutral model: parse, choose the mesh node, then its skeleton,
// attachments, materials, geometry and animations, each filling its share of the scene.
//
// Index: model name | choose_mesh_node | read_document | read_gltf_scene_bytes | read_gltf_scene
#include "viewer/gltf/gltf_import.h"

#include <new>

#include "support/messages.h"
#include "viewer/files/path_names.h"
#include "viewer/gltf/gltf_import_internal.h"

using namespace gltf_import;

namespace {

// ---- model name

std::string text_name(const std::string &name) {
    return name.substr(0, name.find('\0'));
}

// The mesh's name, else its node's, else the scene's; a TKM needs one.
std::string model_name(const tinygltf::Model &gltf, int node, const tinygltf::Mesh &mesh) {
    for (const std::string &name : {mesh.name, gltf.nodes[size_t(node)].name})
        if (!text_name(name).empty()) return text_name(name);
    const int scene = gltf.defaultScene >= 0 ? gltf.defaultScene : 0;
    if (size_t(scene) < gltf.scenes.size() && !text_name(gltf.scenes[size_t(scene)].name).empty())
        return text_name(gltf.scenes[size_t(scene)].name);
    return "glTF";
}

// The index of the node to convert: the first with a skinned mesh, else the first with a mesh;
// -1 when there is none.
int choose_mesh_node(const tinygltf::Model &model) {
    for (size_t n = 0; n < model.nodes.size(); n++)
        if (model.nodes[n].mesh >= 0 && model.nodes[n].skin >= 0) return int(n);
    for (size_t n = 0; n < model.nodes.size(); n++)
        if (model.nodes[n].mesh >= 0) return int(n);
    return -1;
}

// ---- read_document

int read_document(const tinygltf::Model &gltf, scene_model *scene, const std::string &prefix,
                  gltf_import_notes *notes) {
    std::string *why = &notes->error;
    notes->num_animations = uint32_t(gltf.animations.size());
    const int node = choose_mesh_node(gltf);
    if (node < 0) {
        *why = "the file has no node with a mesh";
        return gltf_no_mesh;
    }
    const int mesh_index = gltf.nodes[size_t(node)].mesh;
    if (size_t(mesh_index) >= gltf.meshes.size()) {
        *why = format("node %d names mesh %d, which does not exist", node, mesh_index);
        return gltf_bad_document;
    }
    const tinygltf::Mesh &mesh = gltf.meshes[size_t(mesh_index)];
    std::vector<const tinygltf::Primitive *> primitives;
    scene_material_choice choice;
    triangle_primitives(mesh, &primitives, &choice.number);
    if (primitives.empty()) {
        *why = format("mesh %d has no primitive made of triangles", mesh_index);
        return gltf_no_triangles;
    }
    scene->name = model_name(gltf, node, mesh);
    scene_skeleton skeleton;
    if (int code = read_scene_skeleton(gltf, node, &skeleton, scene, why)) return code;
    read_scene_attachments(gltf, skeleton, scene);
    if (int code = read_scene_materials(gltf, primitives, prefix, scene, &choice, why)) return code;
    if (int code = read_scene_geometry(gltf, primitives, choice, skeleton, scene, why)) return code;
    if (int code = read_scene_animations(gltf, skeleton, scene, why)) return code;

    size_t other_meshes = 0;
    for (size_t n = 0; n < gltf.nodes.size(); n++)
        other_meshes += gltf.nodes[n].mesh >= 0 && int(n) != node;
    if (other_meshes)
        real_meow("glTF file has %zu more mesh nodes: only node %d ('%s') is converted\n",
                  other_meshes, node, gltf.nodes[size_t(node)].name.c_str());
    return 0;
}

} // namespace

// ---- read_gltf_scene_bytes

int read_gltf_scene_bytes(scene_model *scene, const uint8_t *data, size_t size,
                          const char *base_dir, const char *image_prefix,
                          gltf_import_notes *notes) {
    *notes = gltf_import_notes{};
    try {
        tinygltf::Model gltf;
        if (int code = parse_gltf(&gltf, data, size, base_dir, &notes->error)) return code;
        return read_document(gltf, scene, image_prefix ? image_prefix : "", notes);
    } catch (const std::bad_alloc &) {
        notes->error = "out of memory reading the model";
        return gltf_out_of_memory;
    }
}

// ---- read_gltf_scene

int read_gltf_scene(scene_model *scene, const char *path, const char *image_prefix,
                    gltf_import_notes *notes) {
    *notes = gltf_import_notes{};
    std::vector<uint8_t> bytes;
    if (int code = read_gltf_file(path, &bytes, &notes->error)) return code;
    const std::string base = directory_of(path);
    return read_gltf_scene_bytes(scene, bytes.data(), bytes.size(), base.c_str(), image_prefix,
                                 notes);
}
