// SPDX-License-Identifier: MIT
// Converting a read Milkshape model into a tkm_mesh: into the neutral model (ms3d_scene.h), then
// built.
#pragma once

#include "viewer/scene/tkm_builder.h"

struct tkm_mesh;
struct ms3d_model;

// Fills the empty mesh from the model: ms3d_to_scene, then build_tkm with Milkshape's rules, then
// "Converted Milkshape model!". 0, or the failed step: 1 bones, 2 vertices, 3 triangles,
// 4 materials; each failing step prints why. A failed mesh is only fit for release.
// With weights, the vertices keep Milkshape 1.8's extra bone weights (2 when they are bad).
int convert_ms3d(tkm_mesh *mesh, const ms3d_model *model, merge_method method = merge_method::grid,
                 bool weights = false);
