// SPDX-License-Identifier: MIT
// The table of model formats and the readers it names.
//
// Index: readers | the table | find_model_format, named_model_format | build_options
#include "viewer/formats/model_formats.h"

#include "support/paths.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/gltf_animation_load.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/ms3d/ms3d_load.h"
#include "viewer/scene/scene.h"

namespace {

// ---- readers

// The Milkshape reader prints its own failures.
int read_ms3d_entry(const char *path, scene_model *scene, model_read_notes *notes) {
    ms3d_load_options options;
    options.weights = notes->weights;
    const int code = load_ms3d_scene(path, scene, &notes->stage, &options);
    notes->num_weighted = options.num_weighted;
    notes->failure = options.failure;
    return code;
}

// The glTF reader leaves its failure in notes->error for the caller's message.
int read_gltf_entry(const char *path, scene_model *scene, model_read_notes *notes) {
    notes->stage = "read_gltf";
    const std::string prefix = notes->image_prefix.empty() ? stem_of(path) : notes->image_prefix;
    gltf_import_notes found;
    const int code = read_gltf_scene(scene, path, prefix.c_str(), &found);
    notes->num_animations = found.num_animations;
    notes->error = found.error;
    return code;
}

} // namespace

// ---- the table

const model_format model_formats[] = {
    {"Milkshape",
     "Milkshape",
     {"ms3d", nullptr},
     read_ms3d_entry,
     "read_ms3d",
     "convert_ms3d",
     true,
     nullptr,
     true},
    {"glTF",
     "glTF",
     {"gltf", "glb"},
     read_gltf_entry,
     "read_gltf",
     "build_tkm",
     false,
     load_gltf_animation,
     false},
    {"TarvikMesh", "TKM", {"tkm", nullptr}, nullptr, "read_tkm", nullptr, false, nullptr, false},
};
const size_t num_model_formats = sizeof model_formats / sizeof model_formats[0];

// ---- find_model_format

const model_format &find_model_format(const char *path) {
    const model_format *named = named_model_format(path);
    return named ? *named : model_formats[num_model_formats - 1];
}

const model_format *named_model_format(const char *path) {
    const char *extension = file_extension(path);
    if (!extension || extension == path) return &model_formats[num_model_formats - 1]; // no dot
    for (size_t f = 0; f < num_model_formats; f++)
        for (const char *known : model_formats[f].extensions)
            if (known && str_equiv(extension, known)) return &model_formats[f];
    return nullptr;
}

bool reads_scene(const model_format &format) {
    return format.read_scene != nullptr;
}

// ---- build_options

tkm_build_options build_options(const model_format &format, const model_read_notes &notes) {
    tkm_build_options options;
    options.source = format.name;
    options.reference_skeletons = format.reference_skeletons && !notes.own_skeleton;
    options.bind_unbound = notes.bind_unbound;
    return options;
}
