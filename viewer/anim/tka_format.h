// SPDX-License-Identifier: MIT
// The TKA file format: its on-disk layout, its limits and the codes of its fields.
//
// On-disk layout (little-endian, u16 unless noted):
//
//   section    fields                                                           codes
//   header     16 magic, header_word, 10 skipped octets, name length, name      1-4
//   bones      count (the mesh's bone count); bone records as in a TKM file     5, 6-11
//              (own index, name length, name, parent, vec3 position, quat)
//   animated   u16 skipped, count (0: every bone), that many bone indices       6, 7, 8
//   frames     count; per frame: vec3 aux_vector1, 4 x f32 aux_rotation,        9, 10-13
//              vec3 aux_vector2, a quaternion (x y z w) per animated bone in
//              list order, and when header_word % 16 >= 2: a string count,      14
//              then per string its length L and L octets (L of 0 is invalid)    15, 16
//
// Limits: 16-bit counts and indices; at least one frame (17 otherwise). The codes 6 to 11 mean
// one field in a bone record and another after the bones: read_place's section tells them apart.
#pragma once

#include <cstdint>

#include "viewer/mesh/read_failure.h"

struct tka_animation;

// The magic: only its first eleven octets (up to its zero octet) are compared.
inline constexpr uint8_t tka_magic[16] = {0xCF, 0xD0, 0x09, 0xA8, 0x2A, 0x1F, 0xD2, 0x11,
                                          0x87, 0x49, 0x00, 0x20, 0xAF, 0xE6, 0x36, 0xEE};

// load_tka's results: 0, or the code of the field it failed in (some shared by two sections).
enum tka_code : int {
    tka_code_ok = 0,
    tka_code_not_usable = 1, // cannot be opened, wrong magic, or a bone count unlike the mesh's
    tka_code_header_word = 2,
    tka_code_name_length = 3,
    tka_code_name = 4,
    tka_code_bone_count = 5,
    tka_code_bone_index = 6, // in a bone record
    tka_code_bone_name_length = 7,
    tka_code_bone_name = 8,
    tka_code_bone_parent = 9,
    tka_code_bone_position = 10,
    tka_code_bone_rotation = 11,
    tka_code_after_bones = 6, // after the bones
    tka_code_animated_count = 7,
    tka_code_animated_bone = 8,
    tka_code_frame_count = 9,
    tka_code_aux_vector1 = 10, // in a frame
    tka_code_aux_rotation = 11,
    tka_code_aux_vector2 = 12,
    tka_code_frame_rotation = 13,
    tka_code_string_count = 14,
    tka_code_string_length = 15,
    tka_code_string_text = 16,
    tka_code_no_frames = 17,
};

// The sections of a TKA file, in file order, for read_place::section.
enum tka_section : int {
    tka_in_header,
    tka_in_bones,
    tka_in_animated,
    tka_in_frames,
};

// A short description of the field code stands for in section, or null when it has none there.
const char *tka_code_field(int section, int code);

// Fills failure (code, field, message) for a load of animation from path that stopped with code
// at place; failure->offset and at_end are set beforehand (note_stop). No message for codes 1 and
// 17, which print their own.
void explain_tka_failure(const tka_animation *animation, const char *path, int code,
                         const read_place &place, read_failure *failure);
