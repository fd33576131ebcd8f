// SPDX-License-Identifier: MIT
// A Milkshape 3D model as read from an .ms3d file; lives only between the read and the conversion.
// The reader is in ms3d_reader.h, the optional blocks of Milkshape 1.8 in ms3d_extras.h.
#pragma once

#include <cstdint>

// Sections: records. The on-disk layout and the codes are in ms3d_format.h.

#include "viewer/ms3d/ms3d_format.h"

// Fixed name widths of the format, in bytes.
inline constexpr int ms3d_name_size = 32;
inline constexpr int ms3d_texture_size = 128;

// One vertex; `bone` is the joint that moves it, negative for none.
struct ms3d_vertex {
    uint8_t flags;
    float position[3];
    int8_t bone;
    uint8_t reference_count;
};

// One triangle; only vertex_indices, s and t are used by the conversion.
struct ms3d_triangle {
    uint16_t flags;
    uint16_t vertex_indices[3];
    float normals[3][3];
    float s[3]; // texture u of each corner
    float t[3]; // texture v of each corner
    uint8_t smoothing_group;
    uint8_t group_index;
};

// A group lists its triangles itself; `name` is used up to its first zero byte.
struct ms3d_group {
    uint8_t flags;
    char name[ms3d_name_size];
    uint16_t num_triangles;
    uint16_t *triangle_indices; // owned, num_triangles entries
    int8_t material_index;      // negative: no material
};

// Colours are red, green, blue, alpha in 0..1; shininess 0..128; transparency 1 is opaque.
struct ms3d_material {
    char name[ms3d_name_size];
    float ambient[4];
    float diffuse[4];
    float specular[4];
    float emissive[4];
    float shininess;
    float transparency;
    int8_t mode;
    char texture[ms3d_texture_size]; // file name, empty when the first byte is 0
    char alphamap[ms3d_texture_size];
};

// One animation key: a time in seconds and three angles in radians or a translation.
struct ms3d_keyframe {
    float time;
    float value[3];
};

// A joint: angles in radians (about x, then y, then z) and position, both relative to the parent
// named by parent_name; keys are relative to the joint's bind placement.
struct ms3d_joint {
    uint8_t flags;
    char name[ms3d_name_size];
    char parent_name[ms3d_name_size]; // empty for a root
    float rotation[3];
    float position[3];
    uint16_t num_rotation_keys;
    uint16_t num_position_keys;
    ms3d_keyframe *rotation_keys; // owned
    ms3d_keyframe *position_keys; // owned
};

// Milkshape 1.8's extra bone weights of one vertex: up to three more joints besides the vertex's
// own bone (-1: none); weights[0] belongs to the own bone, weights[1] and [2] to bone_ids[0] and
// [1], and what is left of the maximum (255 for sub-version 1, else 100) to bone_ids[2]. All three
// weights zero: the own bone alone. Weights that all fall on ids of no joint (-1) leave nothing to
// share: the own bone alone as well, as Milkshape itself shows such a vertex.
struct ms3d_vertex_extra {
    int8_t bone_ids[3];
    uint8_t weights[3];
    uint32_t extra[2]; // sub-versions 2 (one) and 3 (two); not used
};

// The optional blocks of Milkshape 1.8 after the joints; a sub-version 0 means the file ends before
// the block, or that a lenient read left the block out (stopped_block). Comment texts are skipped
// (checked, not kept).
struct ms3d_extras {
    int32_t comments_sub_version;
    uint32_t num_group_comments;
    uint32_t num_material_comments;
    uint32_t num_joint_comments;
    uint32_t has_model_comment;  // 0 or 1
    int32_t vertex_sub_version;  // 1, 2 or 3
    ms3d_vertex_extra *vertices; // owned, num_vertices of them, or null
    int32_t joint_sub_version;   // 1 or 2
    float (*joint_colors)[3];    // owned, num_joints of them, or null
    int32_t model_sub_version;   // 1 or 2
    float joint_size;            // model extras
    int32_t transparency_mode;
    float alpha_ref;
    int32_t stopped_block; // lenient read: the ms3d_bad_* code of the block it stopped at, else 0
    int64_t stopped_at;    // lenient read: the octet where that block stopped making sense
};

// The whole file; every array is owned and holds exactly its count of elements.
struct ms3d_model {
    char id[10];
    uint32_t version;
    uint16_t num_vertices;
    uint16_t num_triangles;
    uint16_t num_groups;
    uint16_t num_materials;
    float animation_fps;
    float current_time;
    int32_t total_frames;
    uint16_t num_joints;
    ms3d_vertex *vertices;
    ms3d_triangle *triangles;
    ms3d_group *groups;
    ms3d_material *materials;
    ms3d_joint *joints;
    ms3d_extras extras;
};
