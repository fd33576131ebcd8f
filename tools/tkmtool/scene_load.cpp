// SPDX-License-Identifier: MIT
// Reading a model into the neutral model, by its entry in the table of model formats.
#include "scene_load.h"

#include <cstdio>

#include "viewer/formats/model_sniff.h"
#include "viewer/scene/scene.h"

bool has_scene_reader(const std::string &path) {
    const model_format *format = quiet_model_format(path.c_str());
    return format && reads_scene(*format);
}

bool load_scene(const std::string &path, scene_model *scene, failure *failed,
                const model_format **format, load_context *context, const char *image_prefix) {
    const model_format *chosen = choose_model_format(path.c_str());
    if (!chosen) {
        *failed = {model_read_stage, model_code_unknown_format};
        return false;
    }
    const model_format &found = *chosen;
    if (!reads_scene(found)) {
        std::fprintf(stderr, "tkmtool: %s is not a model with animations (Milkshape or glTF)\n",
                     path.c_str());
        *failed = {"read_scene", 1};
        return false;
    }
    if (format) *format = &found;
    load_context own_context;
    if (!context) context = &own_context;
    model_read_notes notes;
    notes.weights = context->weights;
    notes.image_prefix = image_prefix;
    const int code = found.read_scene(path.c_str(), scene, &notes);
    context->num_weighted = notes.num_weighted;
    if (code != 0) {
        // A reader that does not print its own failure leaves it in words.
        if (!notes.error.empty())
            std::fprintf(stderr, "Error loading %s model: %d (%s)\n", found.name, code,
                         notes.error.c_str());
        *failed = {notes.stage, code, notes.failure};
    }
    return code == 0;
}
