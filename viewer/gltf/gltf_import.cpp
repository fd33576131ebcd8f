// SPDX-License-Identifier: MIT
// The glTF reader's helpers shared by its files (messages, the file, primitives) and the glTF
// branches of the mesh and animation loads: the neutral model read and built into a TKM mesh or
// a TKA animation.
//
// Index: helpers | load branch | animation branch
#include "viewer/gltf/gltf_import.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <fstream>

#include "support/messages.h"
#include "viewer/files/path_names.h"
#include "viewer/gltf/gltf_import_internal.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

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
    const size_t slash = last_folder_separator(path);
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

// ---- load branch

int load_gltf_mesh_staged(const char *path, tkm_mesh *mesh, const char *output_path,
                          const char **stage, gltf_import_notes *notes) {
    const char *unused_stage = nullptr;
    const char **at = stage ? stage : &unused_stage;
    gltf_import_notes own_notes;
    gltf_import_notes *found = notes ? notes : &own_notes;
    *at = "read_gltf";
    scene_model scene;
    const std::string prefix = stem_of(output_path ? output_path : path);
    int result = read_gltf_scene(&scene, path, prefix.c_str(), found);
    if (result) {
        real_meow("Error loading glTF model: %s\n", found->error.c_str());
        return result;
    }
    *at = "build_tkm";
    tkm_build_options options;
    options.source = "glTF";
    result = build_tkm(mesh, &scene, options);
    if (result) {
        real_meow("Can't convert glTF model: %d\n", result);
        return result;
    }
    found->images = std::move(scene.images);
    real_purr("Converted glTF model!\n");
    return 0;
}

// ---- animation branch

int load_gltf_animation(const char *path, const tkm_mesh *mesh, tka_animation *animation) {
    scene_model scene;
    gltf_import_notes notes;
    if (int code = read_gltf_scene(&scene, path, stem_of(path).c_str(), &notes)) {
        real_meow("Error loading glTF animation: %s\n", notes.error.c_str());
        return code;
    }
    if (scene.animations.empty()) {
        real_meow("Error loading glTF animation: %s holds no animation\n", path);
        return gltf_no_animation;
    }
    if (build_tka(animation, scene, 0, mesh)) return gltf_bad_animation;
    real_purr("Converted glTF animation %s!\n", scene.animations[0].name.c_str());
    return 0;
}
