// SPDX-License-Identifier: MIT
// The Milkshape reader of the table of model formats: the file read into the neutral model.
#include "viewer/ms3d/ms3d_load.h"

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

// Reads path into model; a failure is reported, with the optional block it lies in when it does,
// else with where the read stopped, and kept in options when given.
int read_reported(ms3d_model *model, const char *path, ms3d_load_options *options) {
    read_failure failure;
    const int result = read_ms3d_explained(model, path, &failure);
    if (!result) return 0;
    if (const char *block = ms3d_extras_block(result)) {
        real_meow("Error loading Milkshape model: %d (its %s block is truncated or inconsistent)\n",
                  result, block);
    } else {
        real_meow("Error loading Milkshape model: %d%s\n", result,
                  bracketed_reason(failure.reason).c_str());
        print_failure_explanation(failure);
    }
    if (options) options->failure = failure;
    return result;
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
