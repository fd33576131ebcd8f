// SPDX-License-Identifier: MIT
// The Milkshape reader of the table of model formats: the file read into the neutral model.
#include "viewer/ms3d/ms3d_load.h"

#include <string>

#include "support/messages.h"
#include "support/scratch_write.h"
#include "viewer/files/path_names.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_extras.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/scene/scene.h"

namespace {

// Reads path into model, its optional blocks leniently: the conversion needs none of them, and
// real files whose trailer was edited or damaged are whole models. A bad block is told in one
// line; only the weights, which need the vertex extras, fail on one that hides them. A failed
// read is reported with where it stopped, and kept in options when given.
int read_reported(ms3d_model *model, const char *path, ms3d_load_options *options) {
    read_failure failure;
    const int result = read_ms3d_explained(model, path, &failure, ms3d_extras_lenient);
    if (result) {
        real_meow("Error loading Milkshape model: %d%s\n", result,
                  bracketed_reason(failure.reason).c_str());
        print_failure_explanation(failure);
        if (options) options->failure = failure;
        return result;
    }
    const ms3d_extras &extras = model->extras;
    if (!extras.stopped_block) return 0;
    const char *block = ms3d_extras_block(extras.stopped_block);
    if (options && options->weights && ms3d_vertex_extras_lost(extras)) {
        real_meow("Error loading Milkshape model: %d (its %s block is truncated or inconsistent)\n",
                  extras.stopped_block, block);
        options->failure.code = extras.stopped_block;
        options->failure.offset = extras.stopped_at;
        return extras.stopped_block;
    }
    real_meow("Milkshape model %s: its %s block is truncated or inconsistent at octet %s; it and "
              "the rest of the file are ignored\n",
              path, block, std::to_string(extras.stopped_at).c_str());
    return 0;
}

} // namespace

int load_ms3d_scene(const char *path, scene_model *scene, const char **stage,
                    ms3d_load_options *options) {
    const char *unused_stage = nullptr;
    const char **at = stage ? stage : &unused_stage;
    *at = "read_ms3d";
    ms3d_model *model = create_ms3d();
    int result = 1;
    if (!model)
        real_meow("Error loading Milkshape model: %d\n", 1);
    else
        result = read_reported(model, path, options);
    if (!result) {
        *at = "convert_ms3d";
        if (options) options->num_weighted = ms3d_weighted_vertices(model);
        result = ms3d_to_scene(model, scene, options && options->weights);
        if (result) real_meow("Can't convert Milkshape model: %d\n", result);
        // A Milkshape file holds one animation and no name for it: the file's name tells a
        // walk.ms3d from a run.ms3d where every animation would otherwise be "Milkshape".
        const std::string stem = stem_of(path);
        if (!result && !stem.empty())
            for (scene_animation &animation : scene->animations)
                animation.name = stem;
    }
    release_ms3d(model);
    return result;
}
