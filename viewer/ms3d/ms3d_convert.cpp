// SPDX-License-Identifier: MIT
// The Milkshape conversion driver: the model into the neutral model, then the TKM builder.
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_scene.h"

#include "support/messages.h"
#include "viewer/scene/scene.h"

int convert_ms3d(tkm_mesh *mesh, const ms3d_model *model, merge_method method, bool weights) {
    scene_model scene;
    const int result = ms3d_to_scene(model, &scene, weights);
    if (result) return result;
    const int built = convert_scene_to_tkm(mesh, &scene, {method, "Milkshape", true});
    if (built) return built;
    real_purr("Converted Milkshape model!\n");
    return 0;
}
