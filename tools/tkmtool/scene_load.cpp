// SPDX-License-Identifier: MIT
// Reading a model into the neutral model, by the file name's extension.
#include "scene_load.h"

#include "support/file.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/ms3d/ms3d_load.h"
#include "viewer/scene/scene.h"

namespace {

bool read_ms3d_scene(const std::string &path, scene_model *scene, failure *failed,
                     load_context *context) {
    const char *stage = "read_ms3d";
    ms3d_load_options options;
    options.weights = context->weights;
    const int code = load_ms3d_scene(path.c_str(), scene, &stage, &options);
    context->num_weighted = options.num_weighted;
    if (code != 0) *failed = {stage, code, options.failure};
    return code == 0;
}

bool read_gltf_file_scene(const std::string &path, scene_model *scene, failure *failed,
                          load_context *) {
    gltf_import_notes notes;
    const int code = read_gltf_scene(scene, path.c_str(), "image", &notes);
    if (code != 0) {
        std::fprintf(stderr, "Error loading glTF model: %d (%s)\n", code, notes.error.c_str());
        *failed = {"read_gltf", code};
    }
    return code == 0;
}

// Formats read into the neutral model, by extension, with their names in messages.
struct scene_format {
    const char *extension;
    const char *source;
    bool (*read)(const std::string &path, scene_model *scene, failure *failed,
                 load_context *context);
};
constexpr scene_format scene_formats[] = {
    {"ms3d", "Milkshape", read_ms3d_scene},
    {"gltf", "glTF", read_gltf_file_scene},
    {"glb", "glTF", read_gltf_file_scene},
};

const scene_format *find_format(const std::string &path) {
    if (path.find('.') == std::string::npos) return nullptr;
    for (const scene_format &format : scene_formats)
        if (str_equiv(file_extension(path.c_str()), format.extension)) return &format;
    return nullptr;
}

} // namespace

bool has_scene_reader(const std::string &path) {
    return find_format(path) != nullptr;
}

bool load_scene(const std::string &path, scene_model *scene, failure *failed, const char **source,
                load_context *context) {
    const scene_format *format = find_format(path);
    if (!format) {
        std::fprintf(stderr, "tkmtool: %s is not a model with animations (Milkshape or glTF)\n",
                     path.c_str());
        *failed = {"read_scene", 1};
        return false;
    }
    if (source) *source = format->source;
    load_context own_context;
    return format->read(path, scene, failed, context ? context : &own_context);
}
