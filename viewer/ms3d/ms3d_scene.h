// SPDX-License-Identifier: MIT
// A read Milkshape model into the neutral model: joints, geometry, materials and its keyframes.
#pragma once

struct ms3d_model;
struct scene_model;

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
