// SPDX-License-Identifier: MIT
// The Milkshape 3D file format: its on-disk layout, its limits and the codes of its fields.
//
// On-disk layout (little-endian, floats IEEE binary32), read front to back:
//
//   order  bytes                        content
//   1      10                           id "MS3D000000" (no terminating zero)
//   2      4                            version (u32, at most 4)
//   3      2                            num_vertices
//   4      15 per vertex                flags 1, position 12, bone 1, reference_count 1
//   5      2                            num_triangles
//   6      70 per triangle              flags 2, vertex_indices 3x2, normals 3x12, s 3x4, t 3x4,
//                                       smoothing_group 1, group_index 1
//   7      2                            num_groups
//   8      36 + 2 x num_triangles       flags 1, name 32, num_triangles 2, indices 2 each,
//                                       material_index 1
//   9      2                            num_materials
//   10     361 per material             name 32, ambient 16, diffuse 16, specular 16, emissive 16,
//                                       shininess 4, transparency 4, mode 1, texture 128,
//                                       alphamap 128
//   11     12                           animation_fps, current_time, total_frames
//   12     2                            num_joints
//   13     93 + 16 x keys per joint     flags 1, name 32, parent_name 32, rotation 12, position 12,
//                                       num_rotation_keys 2, num_position_keys 2, then each
//                                       rotation key (time 4, value 12), then each position key
//
// After the last joint: optional blocks (comments, vertex extras, joint extras, model extras),
// read by ms3d_extras.cpp, strictly or leniently; a file that ends where a block would start is
// complete.
//
// Limits: 16-bit counts; names 32 octets and texture paths 128, zero-padded; version at most 4.
#pragma once

#include <cstdint>

#include "viewer/mesh/read_failure.h"

struct ms3d_model;

// The id a Milkshape file starts with, without a terminating zero.
inline constexpr char ms3d_magic[10] = {'M', 'S', '3', 'D', '0', '0', '0', '0', '0', '0'};

// read_ms3d's results: 0, or the code of the field it failed in (in file order), or of the
// optional block that is bad.
enum ms3d_code : int {
    ms3d_code_unknown_version = -2,
    ms3d_code_wrong_magic = -1,
    ms3d_code_ok = 0,
    ms3d_code_open = 1,
    ms3d_code_id = 2,
    ms3d_code_version = 3,
    ms3d_code_num_vertices = 4,
    ms3d_code_vertex_flags = 5,
    ms3d_code_vertex_position = 6,
    ms3d_code_vertex_bone = 7,
    ms3d_code_vertex_reference_count = 8,
    ms3d_code_num_triangles = 9,
    ms3d_code_triangle_flags = 10,
    ms3d_code_triangle_vertex_indices = 11, // 11, 12, 13 for the three corners
    ms3d_code_triangle_normals = 14,        // 14, 15, 16
    ms3d_code_triangle_s = 17,              // 17, 18, 19
    ms3d_code_triangle_t = 20,              // 20, 21, 22
    ms3d_code_smoothing_group = 23,
    ms3d_code_group_index = 24,
    ms3d_code_num_groups = 25,
    ms3d_code_group_flags = 26,
    ms3d_code_group_name = 27,
    ms3d_code_group_num_triangles = 28,
    ms3d_code_group_triangle_index = 29,
    ms3d_code_group_material_index = 30,
    ms3d_code_num_materials = 31,
    ms3d_code_material_name = 32,
    ms3d_code_material_ambient = 33,
    ms3d_code_material_diffuse = 34,
    ms3d_code_material_specular = 35,
    ms3d_code_material_emissive = 36,
    ms3d_code_material_shininess = 37,
    ms3d_code_material_transparency = 38,
    ms3d_code_material_mode = 39,
    ms3d_code_material_texture = 40,
    ms3d_code_material_alphamap = 41,
    ms3d_code_animation_fps = 42,
    ms3d_code_current_time = 43,
    ms3d_code_total_frames = 44,
    ms3d_code_num_joints = 45,
    ms3d_code_joint_flags = 46,
    ms3d_code_joint_name = 47,
    ms3d_code_joint_parent_name = 48,
    ms3d_code_joint_rotation = 49,
    ms3d_code_joint_position = 50,
    ms3d_code_joint_num_rotation_keys = 51,
    ms3d_code_joint_num_position_keys = 52,
    ms3d_code_rotation_key_time = 53,
    ms3d_code_rotation_key_value = 54,
    ms3d_code_position_key_time = 55,
    ms3d_code_position_key_value = 56,
    ms3d_code_comments = 57,      // the optional blocks: truncated, of an unknown sub-version, or
    ms3d_code_vertex_extras = 58, // inconsistent
    ms3d_code_joint_extras = 59,
    ms3d_code_model_extras = 60,
};

// The sections of a Milkshape file, in file order, for read_place::section.
enum ms3d_section : int {
    ms3d_in_header,
    ms3d_in_vertices,
    ms3d_in_triangles,
    ms3d_in_groups,
    ms3d_in_materials,
    ms3d_in_joints,
    ms3d_in_extras,
};

// A short description of code's field ("joint rotation"), or null for a code outside 2..56.
const char *ms3d_code_field(int code);

// Fills failure (code, field, message) for a read of model from path that stopped with code at
// place; failure->offset and at_end are set beforehand (note_stop). No message for the codes
// that say nothing of a place in the file (1, -1, -2) nor for the optional blocks, whose own
// message names them.
void explain_ms3d_failure(const ms3d_model *model, const char *path, int code,
                          const read_place &place, read_failure *failure);
