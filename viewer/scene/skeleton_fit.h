// SPDX-License-Identifier: MIT
// Putting a model onto a given skeleton: a mesh edited elsewhere (Blender turns every bone to
// point along its own y axis) goes back onto the game's own bones, whose axes the game's
// animations were made for, with every vertex and attachment kept where it stands in the model.
//
// Index: skeleton_fit_report | check_skeleton | fit_scene_to_skeleton | take_skeleton_bones
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tkm_mesh;
struct scene_model;

// A matched joint that stands away from its bone on the skeleton.
struct skeleton_fit_offset {
    std::string joint; // the joint's (and the bone's) name
    double distance;   // from the joint's place in the model's bind pose to the bone's, in units
};

// What a fit found besides failures.
struct skeleton_fit_report {
    double model_size = 0;                    // diagonal of the box around the model's vertices
    double largest_offset = 0;                // the farthest any matched joint stands from its bone
    std::vector<skeleton_fit_offset> offsets; // those farther than skeleton_fit_tolerance of size
};

// How far (as a share of the model's size) a joint may stand from its bone before a fit warns.
inline constexpr double skeleton_fit_tolerance = 1e-3;

// Whether skeleton can carry a model: bone names unique, every parent an earlier bone. 0, or 1
// with the reason printed on standard error (skeleton_path names the file in the message).
int check_skeleton(const tkm_mesh *skeleton, const char *skeleton_path);

// Replaces the scene's joints by the skeleton's bones, in the skeleton's order and bind pose,
// matched by name: every vertex weight and attachment follows its joint, the vertices stay where
// they are in the model, and each attachment is placed on its bone so that it stands where it
// stood; the scene's animations (in the old joints' axes) are dropped. 0; 1 when a joint of the
// scene is not on the skeleton, a bone of the skeleton is not in the scene, or a joint's name is
// missing or repeated (printed, naming it; source_path names the model). The skeleton must have
// passed check_skeleton. Joints farther from their bones than the tolerance are printed as
// warnings and listed in *report (when not null).
int fit_scene_to_skeleton(scene_model *scene, const tkm_mesh *skeleton, const char *source_path,
                          skeleton_fit_report *report);

// After a mesh was built from a fitted scene: gives its bones the skeleton's stored values bit for
// bit (the build derives each rotation again from its matrix). 0; 1 when the
// bones are not the skeleton's by name and parent.
int take_skeleton_bones(tkm_mesh *mesh, const tkm_mesh *skeleton);
