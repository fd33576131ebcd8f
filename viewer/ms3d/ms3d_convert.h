// Converting a read Milkshape model into a tkm_mesh: bones, vertices, triangles, materials.
#pragma once

#include <cstdint>

#include "viewer/ms3d/point_merge.h"

struct tkm_mesh;
struct tkm_bone;
struct ms3d_model;

// How coincident vertices and texture coordinates are found: with the grid (the normal way), or
// by comparing each with every earlier one and merging one at a time (the plain scan, kept to
// check the grid against and to measure it).
enum class merge_method { grid, scan };

// Fills the empty mesh from the model, which it changes on the way (vertices merged, triangles
// renumbered), so a model serves one conversion. 0, or the failed step: 1 bones, 2 vertices,
// 3 triangles, 4 materials; each failing step prints why. A failed mesh is only fit for release.
int convert_ms3d(tkm_mesh *mesh, ms3d_model *model, merge_method method = merge_method::grid);

// ---- bones and grippers

// One bone per joint, the reference pose for the known character counts, world matrices, then the
// default grippers. 0, or 1 when a joint's name is empty or not terminated or a bone's parent is
// not an earlier bone (all printed).
int convert_bones(tkm_mesh *mesh, const ms3d_model *model);
// The first joint named by joint i's parent name (exact comparison), or -1 (none, empty, or i out
// of range).
int find_parent_joint(const ms3d_model *model, int i);
// Copies row i of the reference skeleton for bone_count into the bone (parent, position, rotation,
// local); warns for counts other than 2 that have no table. 0, or 1 when i is beyond the table.
int apply_reference_bone(tkm_bone *bone, int i, uint16_t bone_count);

// ---- vertices

// Checks the vertices' bones, merges coincident vertices, sorts them by bone, renumbers the
// triangles and builds the mesh's runs and stored vertices (relative to their bones). 0, 1 (bad
// bone assignment or indices, printed) or 2 (more bone values than runs, printed).
int assign_vertices(tkm_mesh *mesh, ms3d_model *model, merge_method method = merge_method::grid);
// Removes vertex drop (keep < drop): every triangle corner naming drop names keep instead, and
// every index above drop moves down by one.
void merge_vertex(ms3d_model *model, uint16_t drop, uint16_t keep);

// ---- triangles and materials

// Material runs (one per group with triangles), triangles, corners and texture coordinates
// (merged), the single triangle list. 0; 1 when a group has no material (or a name, index or count
// is out of range, printed); 2 when the groups leave triangles out.
int convert_triangles(tkm_mesh *mesh, const ms3d_model *model,
                      merge_method method = merge_method::grid);
// Removes texture coordinate drop (keep < drop), pointing its corners at keep.
void merge_texcoord(tkm_mesh *mesh, uint16_t keep, uint16_t drop);
// One material per Milkshape material and one texture name per material with a texture. 0, or 1
// when a material's name is empty, its name or texture is not terminated (printed) or memory runs
// out.
int convert_materials(tkm_mesh *mesh, const ms3d_model *model);
