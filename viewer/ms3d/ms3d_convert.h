// SPDX-License-Identifier: MIT
// Converting a read Milkshape model into a tkm_mesh: into the neutral model, then built.
#pragma once

#include "viewer/scene/tkm_builder.h"

struct tkm_mesh;
struct ms3d_model;
struct scene_model;

// Fills the empty mesh from the model: ms3d_to_scene, then build_tkm with Milkshape's rules, then
// "Converted Milkshape model!". 0, or the failed step: 1 bones, 2 vertices, 3 triangles,
// 4 materials; each failing step prints why. A failed mesh is only fit for release.
// With weights, the vertices keep Milkshape 1.8's extra bone weights (2 when they are bad).
int convert_ms3d(tkm_mesh *mesh, const ms3d_model *model, merge_method method = merge_method::grid,
                 bool weights = false);

// Fills the empty scene from the model: joints (parents by name, local from the angles and
// position), vertices, triangles (corners in the TKM's winding), groups, materials and the
// keyframes as one animation named "Milkshape". 0, or the conversion step a name that does not end
// inside its field belongs to (1 joints, 3 groups, 4 materials; printed).
// With weights, each vertex is bound to the bones of its Milkshape 1.8 extras too (2, printed, when
// a bone id or the weights are bad).
int ms3d_to_scene(const ms3d_model *model, scene_model *scene, bool weights = false);

// The first joint named by joint i's parent name (exact comparison), or -1 (none, empty, or i out
// of range).
int find_parent_joint(const ms3d_model *model, int i);
