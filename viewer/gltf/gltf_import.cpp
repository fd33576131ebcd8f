// The glTF reader's driver and the load branch: parse, choose the mesh, build skeleton,
// materials and geometry into a staged Milkshape model, copy it into the model's blocks; then
// the unchanged Milkshape conversion, and the base-colour images written beside the output.
//
// Index: helpers | read_gltf_bytes | read_gltf | write_gltf_textures | load branch
#include "viewer/gltf/gltf_import.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fstream>
#include <iterator>

#include "support/messages.h"
#include "support/scratch_write.h"
#include "viewer/gltf/gltf_import_internal.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_convert.h"

namespace gltf_import {

// ---- helpers

std::string format(const char *pattern, ...) {
    va_list args, again;
    va_start(args, pattern);
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, pattern, args);
    va_end(args);
    std::string out(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(out.data(), out.size() + 1, pattern, again);
    va_end(again);
    return out;
}

void set_name(char *field, size_t size, const std::string &text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

namespace {

// Largest glTF file read (the GLB or the JSON; external buffers have their own limit).
constexpr uint64_t largest_gltf_file = 1ull << 30;

} // namespace

int read_gltf_file(const char *path, std::vector<uint8_t> *bytes, std::string *why) {
    struct stat info {};
    if (stat(path, &info) != 0) {
        *why = format("cannot open %s: %s", path, std::strerror(errno));
        return gltf_cannot_open;
    }
    if (!S_ISREG(info.st_mode)) {
        *why = format("cannot open %s: not a regular file", path);
        return gltf_cannot_open;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *why = format("cannot open %s", path);
        return gltf_cannot_open;
    }
    if (uint64_t(info.st_size) > largest_gltf_file) {
        *why = format("%s is larger than 1 GiB", path);
        return gltf_cannot_open;
    }
    bytes->resize(size_t(info.st_size));
    if (!bytes->empty() &&
        !in.read(reinterpret_cast<char *>(bytes->data()), std::streamsize(bytes->size()))) {
        *why = format("cannot read %s", path);
        return gltf_cannot_open;
    }
    return 0;
}

std::string directory_of(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

void triangle_primitives(const tinygltf::Mesh &mesh, std::vector<const tinygltf::Primitive *> *out,
                         std::vector<size_t> *numbers) {
    for (size_t p = 0; p < mesh.primitives.size(); p++) {
        const tinygltf::Primitive &primitive = mesh.primitives[p];
        if (primitive.mode != TINYGLTF_MODE_TRIANGLES) {
            real_meow("glTF primitive %zu is not made of triangles (mode %d): left out\n", p,
                      primitive.mode);
            continue;
        }
        if (!primitive.targets.empty())
            real_meow("glTF primitive %zu has morph targets: they are not converted\n", p);
        out->push_back(&primitive);
        numbers->push_back(p);
    }
}

} // namespace gltf_import

using namespace gltf_import;

namespace {

// Copies the staged model into the Milkshape model's blocks.
int store_model(const staged_model &staged, ms3d_model *model, std::string *why) {
    std::memcpy(model->id, "MS3D000000", sizeof model->id);
    model->version = 4;
    model->vertices = alloc_elements<ms3d_vertex>(uint32_t(staged.vertices.size()));
    model->triangles = alloc_elements<ms3d_triangle>(uint32_t(staged.triangles.size()));
    model->groups = alloc_elements<ms3d_group>(uint32_t(staged.groups.size()));
    model->materials = alloc_elements<ms3d_material>(uint32_t(staged.materials.size()));
    model->joints = alloc_elements<ms3d_joint>(uint32_t(staged.joints.size()));
    if ((!model->vertices && !staged.vertices.empty()) ||
        (!model->triangles && !staged.triangles.empty()) ||
        (!model->groups && !staged.groups.empty()) ||
        (!model->materials && !staged.materials.empty()) ||
        (!model->joints && !staged.joints.empty())) {
        *why = "out of memory building the model";
        return gltf_out_of_memory;
    }
    model->num_vertices = uint16_t(staged.vertices.size());
    model->num_triangles = uint16_t(staged.triangles.size());
    model->num_materials = uint16_t(staged.materials.size());
    model->num_joints = uint16_t(staged.joints.size());
    std::copy(staged.vertices.begin(), staged.vertices.end(), model->vertices);
    std::copy(staged.triangles.begin(), staged.triangles.end(), model->triangles);
    std::copy(staged.materials.begin(), staged.materials.end(), model->materials);
    std::copy(staged.joints.begin(), staged.joints.end(), model->joints);
    for (const staged_group &from : staged.groups) {
        ms3d_group &group = model->groups[model->num_groups];
        set_name(group.name, sizeof group.name, from.name);
        group.material_index = from.material;
        group.triangle_indices = alloc_elements<uint16_t>(uint32_t(from.triangles.size()));
        if (!group.triangle_indices && !from.triangles.empty()) {
            *why = "out of memory building the model";
            return gltf_out_of_memory;
        }
        group.num_triangles = uint16_t(from.triangles.size());
        std::copy(from.triangles.begin(), from.triangles.end(), group.triangle_indices);
        model->num_groups++;
    }
    return 0;
}

int read_document(const tinygltf::Model &gltf, ms3d_model *model, const std::string &prefix,
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
    material_choice choice;
    triangle_primitives(mesh, &primitives, &choice.number);
    if (primitives.empty()) {
        *why = format("mesh %d has no primitive made of triangles", mesh_index);
        return gltf_no_triangles;
    }
    staged_model staged;
    skeleton bones;
    if (int code = build_skeleton(gltf, node, &bones, why)) return code;
    staged.joints = bones.joints;
    if (int code = build_materials(gltf, primitives, prefix, &staged, &choice, notes, why))
        return code;
    if (int code = build_geometry(gltf, primitives, choice, bones, &staged, why)) return code;
    if (int code = store_model(staged, model, why)) return code;

    size_t other_meshes = 0;
    for (size_t n = 0; n < gltf.nodes.size(); n++)
        other_meshes += gltf.nodes[n].mesh >= 0 && int(n) != node;
    if (other_meshes)
        real_meow("glTF file has %zu more mesh nodes: only node %d ('%s') is converted\n",
                  other_meshes, node, gltf.nodes[size_t(node)].name.c_str());
    if (notes->num_animations)
        real_meow("glTF file has %u joint animations: they are not converted (no TKA is "
                  "written)\n",
                  notes->num_animations);
    return 0;
}

// The file name of path without its directory and its last extension.
std::string stem_of(const std::string &path) {
    const std::string name = path.substr(path.find_last_of('/') + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool same_content(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> old((std::istreambuf_iterator<char>(in)), {});
    return old == bytes;
}

} // namespace

// ---- read_gltf_bytes

int read_gltf_bytes(ms3d_model *model, const uint8_t *data, size_t size, const char *base_dir,
                    const char *image_prefix, gltf_import_notes *notes) {
    *notes = gltf_import_notes{};
    try {
        tinygltf::Model gltf;
        if (int code = parse_gltf(&gltf, data, size, base_dir, &notes->error)) return code;
        return read_document(gltf, model, image_prefix ? image_prefix : "", notes);
    } catch (const std::bad_alloc &) {
        notes->error = "out of memory reading the model";
        return gltf_out_of_memory;
    }
}

// ---- read_gltf

int read_gltf(ms3d_model *model, const char *path, const char *image_prefix,
              gltf_import_notes *notes) {
    *notes = gltf_import_notes{};
    std::vector<uint8_t> bytes;
    if (int code = read_gltf_file(path, &bytes, &notes->error)) return code;
    const std::string base = directory_of(path);
    return read_gltf_bytes(model, bytes.data(), bytes.size(), base.c_str(), image_prefix, notes);
}

// ---- write_gltf_textures

int write_gltf_textures(const gltf_import_notes &notes, const std::string &directory) {
    int failed = 0;
    for (const gltf_texture_file &texture : notes.textures) {
        const std::string target =
            directory.empty() ? texture.name
                              : directory + (directory.back() == '/' ? "" : "/") + texture.name;
        if (same_content(target, texture.bytes)) continue;
        const int reason =
            replace_file_bytes(target.c_str(), texture.bytes.data(), texture.bytes.size());
        if (reason == 0) {
            real_purr("Wrote texture %s\n", target.c_str());
        } else {
            real_meow("Can't write texture %s%s\n", target.c_str(), colon_reason(reason).c_str());
            failed++;
        }
    }
    return failed;
}

// ---- load branch

int load_gltf_mesh_staged(const char *path, tkm_mesh *mesh, const char *output_path,
                          const char **stage, gltf_import_notes *notes) {
    const char *unused_stage = nullptr;
    const char **at = stage ? stage : &unused_stage;
    gltf_import_notes own_notes;
    gltf_import_notes *found = notes ? notes : &own_notes;
    *at = "read_gltf";
    ms3d_model *model = create_ms3d();
    if (!model) {
        real_meow("Error loading glTF model: %s\n", "out of memory");
        return gltf_out_of_memory;
    }
    const std::string prefix = stem_of(output_path ? output_path : path);
    int result = read_gltf(model, path, prefix.c_str(), found);
    if (result) {
        real_meow("Error loading glTF model: %s\n", found->error.c_str());
    } else {
        *at = "convert_ms3d";
        result = convert_ms3d(mesh, model);
        if (result) real_meow("Can't convert glTF model: %d\n", result);
    }
    release_ms3d(model);
    if (result == 0 && output_path) write_gltf_textures(*found, directory_of(output_path));
    return result;
}

int load_gltf_mesh(const char *path, tkm_mesh *mesh) {
    return load_gltf_mesh_staged(path, mesh, path, nullptr, nullptr);
}
