// SPDX-License-Identifier: MIT
// Building a tkm_mesh from the neutral model: bones, attachment points, vertices, triangles and
// materials, with the rules the game's models need (reference skeletons, default grippers).
#pragma once

#include <cstdint>
#include <vector>

struct tkm_mesh;
struct tkm_bone;
struct scene_model;

// How coincident vertices and texture coordinates are found: with the grid (the normal way), or
// by comparing each with every earlier one and merging one at a time (the plain scan, kept to
// check the grid against and to measure it).
enum class merge_method { grid, scan };

// What a conversion does with vertices the source left without a joint: refuse the model (the
// rule), or bind each to its nearest joint first (bind_unbound_vertices).
enum class unbound_binding { refuse, nearest };

// What a build needs to know about its source.
struct tkm_build_options {
    merge_method method = merge_method::grid;
    const char *source = "Milkshape"; // the format's name in messages ("Milkshape model has ...")
    // The game's known skeletons (52, 40, 37, 34 bones) take the reference pose instead of the
    // model's own: right for Milkshape files, whose joint placements the game does not use, wrong
    // for a format that carries a true bind pose (glTF), whose bones must come back as they were.
    bool reference_skeletons = false;
    unbound_binding bind_unbound = unbound_binding::refuse; // convert_scene_to_tkm only
};

// The limits of a TKM file: 16-bit counts and indices, three corners per triangle.
inline constexpr uint32_t tkm_most_elements = 65535;
inline constexpr uint32_t tkm_most_triangles = 21845;

// The steps of a conversion, in order: the mesh's name and bones (build_tkm_bones), the merge of
// the scene's coincident vertices (merge_scene_vertices, the only step that changes the scene),
// then vertices, triangles and materials. Each returns 0, or the failed step (tkm_build_step): 1
// bones, 2 vertices, 3 triangles, 4 materials; each failing step prints why. Nothing is printed on
// success but the bone step's notes (the caller says what it converted). A failed mesh is only fit
// for release.

// What a conversion returns: 0, or the step that failed.
enum tkm_build_step : int {
    tkm_build_done = 0,
    tkm_build_failed_bones = 1,
    tkm_build_failed_vertices = 2,
    tkm_build_failed_triangles = 3,
    tkm_build_failed_materials = 4,
};

// Every step on the scene: what a conversion calls. The scene comes out merged (and, when the
// options ask, with its unbound vertices bound).
int convert_scene_to_tkm(tkm_mesh *mesh, scene_model *scene, const tkm_build_options &options = {});
// Fills the empty mesh from a scene whose vertices are merged already (merge_scene_vertices),
// leaving the scene as it was, so that one scene serves any number of builds.
int build_tkm(tkm_mesh *mesh, const scene_model &scene, const tkm_build_options &options = {});
// The name and the bones (with the attachment points) alone: all an animation is built for.
// 0, or 1 (printed).
int build_tkm_bones(tkm_mesh *mesh, const scene_model &scene,
                    const tkm_build_options &options = {});

// ---- bones and attachment points

// One bone per joint, the reference pose for the known character counts, world matrices, then the
// scene's attachments as grips or grippers, or the default ones when it has none. 0, or 1 when a
// joint's name is empty or too long, a bone's parent is not an earlier bone, or there are more
// joints than a TKM holds (all printed).
// reference_skeletons: see tkm_build_options.
int convert_bones(tkm_mesh *mesh, const scene_model *scene, bool reference_skeletons = true);
// Copies row i of the reference skeleton for bone_count into the bone (parent, position, rotation,
// local); warns for counts other than 2 that have no table. 0, or 1 when i is beyond the table.
int apply_reference_bone(tkm_bone *bone, int i, uint16_t bone_count);
// The quaternion, in tkm_bone::rotation's convention, whose quat_to_mat4 is the rotation part of
// the pure rotation m.
void matrix_to_bone_rotation(float *q, const float *m);

// ---- vertices

// Gives every vertex the root joint when the source assigned none, checks the groups' triangles
// and the weights' joints, settles each vertex's weights and merges coincident vertices (those
// with one joint by place alone, blended ones only with the same weights), renumbering the
// corners. 0, or 1 (printed).
int merge_scene_vertices(scene_model *scene, merge_method method = merge_method::grid,
                         const char *source = "Milkshape");
// Sorts the scene's vertices by bone and builds the runs, the stored vertices (relative to their
// bones) and the blend vertices; tkm_index receives each scene vertex's number in the mesh.
// 0, 1 (a vertex without a joint, bad indices or counts, printed) or 2 (more bone values than
// runs, printed).
int assign_vertices(tkm_mesh *mesh, const scene_model *scene, std::vector<uint32_t> *tkm_index);
// Removes vertex drop (keep < drop): every corner naming drop names keep instead, and every index
// above drop moves down by one.
void merge_vertex(scene_model *scene, uint32_t drop, uint32_t keep);

// ---- triangles and materials

// Material runs (one per group with triangles), triangles, corners (their vertices numbered
// through tkm_index, as assign_vertices gave it) with their hit colours and texture coordinates
// (merged), the single triangle list. 0; 1 when a group has no material (or an
// index or count is out of range, printed); 2 when the groups leave triangles out.
int convert_triangles(tkm_mesh *mesh, const scene_model *scene,
                      const std::vector<uint32_t> &tkm_index,
                      merge_method method = merge_method::grid, const char *source = "Milkshape");
// Removes texture coordinate drop (keep < drop), pointing its corners at keep.
void merge_texcoord(tkm_mesh *mesh, uint16_t keep, uint16_t drop);
// One material per scene material and one texture name per material with a texture. 0, or 1 when
// a material's name is empty or too long, there are too many (printed) or memory runs out.
int convert_materials(tkm_mesh *mesh, const scene_model *scene);
