// SPDX-License-Identifier: MIT
// How a converted model's skeleton stands to the game's class skeleton of its bone count: what a
// replacement by the class's reference pose changes (a rig made in another package can share the
// count and nothing else), and whether bones on the class's hierarchy point along Blender's axes
// instead of the game's, which the game's animations would twist.
//
// Index: class_skeleton_change | compare_with_class_skeleton | note_replaced_skeleton |
//        bones_carry_blender_axes
#pragma once

#include <cstdint>
#include <string>

struct tkm_mesh;
struct scene_model;

// How far (as a share of the model's size) a joint may stand from its bone on the class skeleton
// before its replacement is worth a word: far below what an eye sees, far above float rounding of
// the angles a file stores.
inline constexpr double class_skeleton_tolerance = 1e-3;

// What a replacement of the file's joints by the class's reference pose changed.
struct class_skeleton_change {
    uint16_t num_bones = 0;
    uint32_t num_other_parents = 0; // joints whose parent in the file is not the class's
    std::string first_other_parent; // the first of them, by name
    uint32_t num_moved = 0;         // joints that move farther than the tolerance
    double largest_move = 0;        // the farthest any joint moves, in the model's units
    std::string farthest_joint;     // the joint that moves farthest
    double model_size = 0;          // the diagonal of the box around the model's vertices
};

// Compares the scene's own joints (hierarchy and bind-pose places) with the bones mesh got from
// them. True when they differ beyond the tolerance, with *change filled; false (and *change still
// filled) when the file's joints are the class's, or the mesh has other bones than the scene has
// joints.
bool compare_with_class_skeleton(const scene_model &scene, const tkm_mesh &mesh,
                                 class_skeleton_change *change);

// Says once, on standard error, that the file's joints were replaced by the class skeleton of
// class_name, how far they moved, and that convert --own-skeleton keeps them. source is the
// format's name ("Milkshape").
void note_replaced_skeleton(const char *source, const char *class_name,
                            const class_skeleton_change &change);

// How far (in degrees) a bone's own y axis may point away from its child and still count as laid
// along it, and the share of single-child bones that must be so laid for the whole skeleton to
// count as Blender's: its importer points each bone's y axis at the bone's child (its exporter
// writes those axes), where the game's skeletons lay their x axis along the bone. Blender 3.4
// gives the officer's 35 single-child bones back with 31 exactly along y and the shoulders and
// feet up to 27 degrees off (they point at the end of the chain); a skeleton of the game's own
// axes has none along y.
inline constexpr double blender_axis_degrees = 1.0;
inline constexpr double blender_axis_share = 0.75;

// True when mesh has a class's bone count and that class's hierarchy, but its bones point their y
// axes along their children as Blender's importer turns them: built without the game's bind
// rotations, so that the game's animations, which rotate each bone about its own axes, twist it.
bool bones_carry_blender_axes(const tkm_mesh &mesh);
