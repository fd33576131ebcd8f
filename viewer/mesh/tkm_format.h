// SPDX-License-Identifier: MIT
// The TKM file format: its on-disk layout, its limits and the codes of its fields.
//
// On-disk layout (little-endian, u16 unless noted; every count precedes its records; a string is
// a u16 length and that many octets, no terminator, and a length of 0 is invalid):
//
//   section      fields                                                         codes
//   header       16 magic, header_word, u16 (1), u16 (0), name length, name     1-4
//   bones        count; per bone: own index, name length, name, parent,         5, 6-11
//                vec3 position, quat rotation (x y z w)
//   runs         count N; up to N x 8: bone (0xEEEE ends the list), first       12, 13-16
//                vertex, vertex count, pad; after an end marker: u16 S (written
//                as the vertex count; runs may reach up to S, at most the       17
//                vertex count, past the stored vertices) and 4 more octets
//   vertices     count; vec3 per vertex, relative to its bone                   18, 19
//   blends       count; f32 blend_aux; per blend: k, k x (vertex, f32 weight)   20, 21, 22-24
//   texcoords    count; 2 x f32 each                                            25, 26
//   corners      count; texcoord, vertex, aux1, aux2                            27, 28-31
//   triangles    count; 3 corner indices, pad                                   32, 33, 34
//   mat. runs    count; material, first triangle, triangle count, pad           35, 36-39
//   list_aux     4 octets                                                       40
//   tri. lists   count; per list: k, k triangle indices                         41, 42, 43
//   textures     count; per name: length, text, pad                             44, 45-47
//   materials    count; per material: own index, name length, name, reference   48, 49-64
//                count, (aux, texture) pairs, aux_word, vec3 diffuse, ambient,
//                specular, f32 aux_float1, f32 transparency, u8 two_sided,
//                f32 emission, f32 shininess, f32 aux_float2
//   grips        count; per record: name length, name, 4 x vec3 columns of      65
//                local, bone
//   grippers     as grips                                                       66
//
// Limits: every count and index is 16 bits, so at most 65535 records of a kind; bone run bones
// below 0xEEEE; a parent of 0xFFFF (or 0xFFFE) marks a root.
#pragma once

#include <cstdint>

#include "viewer/mesh/read_failure.h"

struct tkm_mesh;

// The magic: only its first eleven octets (up to its zero octet) are compared.
inline constexpr uint8_t tkm_magic[16] = {0x72, 0xF6, 0x63, 0x1E, 0x5E, 0x47, 0xD2, 0x11,
                                          0x87, 0x99, 0x00, 0x20, 0xAF, 0xE6, 0x36, 0xEE};
// The bone of the record that ends the bone-run list.
inline constexpr uint16_t tkm_run_end_marker = 0xEEEE;

// read_tkm's results: 0, or the code of the field it failed in.
enum tkm_code : int {
    tkm_code_ok = 0,
    tkm_code_not_a_tkm = 1, // the file cannot be opened, or its magic is wrong
    tkm_code_header_word = 2,
    tkm_code_name_length = 3,
    tkm_code_name = 4,
    tkm_code_bone_count = 5,
    tkm_code_bone_index = 6,
    tkm_code_bone_name_length = 7,
    tkm_code_bone_name = 8,
    tkm_code_bone_parent = 9,
    tkm_code_bone_position = 10,
    tkm_code_bone_rotation = 11,
    tkm_code_run_count = 12,
    tkm_code_run_bone = 13,
    tkm_code_run_first_vertex = 14,
    tkm_code_run_vertex_count = 15,
    tkm_code_run_pad = 16,
    tkm_code_run_end_fields = 17,
    tkm_code_vertex_count = 18,
    tkm_code_vertex_position = 19,
    tkm_code_blend_count = 20,
    tkm_code_blend_aux = 21,
    tkm_code_blend_components = 22,
    tkm_code_blend_vertex = 23,
    tkm_code_blend_weight = 24,
    tkm_code_texcoord_count = 25,
    tkm_code_texcoord = 26,
    tkm_code_corner_count = 27,
    tkm_code_corner_texcoord = 28,
    tkm_code_corner_vertex = 29,
    tkm_code_corner_aux1 = 30,
    tkm_code_corner_aux2 = 31,
    tkm_code_triangle_count = 32,
    tkm_code_triangle_corners = 33,
    tkm_code_triangle_pad = 34,
    tkm_code_material_run_count = 35,
    tkm_code_material_run_material = 36, // also a grip's or gripper's bone out of range
    tkm_code_material_run_first = 37,
    tkm_code_material_run_triangles = 38,
    tkm_code_material_run_pad = 39,
    tkm_code_list_aux = 40,
    tkm_code_list_count = 41,
    tkm_code_list_length = 42,
    tkm_code_list_entry = 43,
    tkm_code_texture_count = 44,
    tkm_code_texture_length = 45,
    tkm_code_texture_text = 46,
    tkm_code_texture_pad = 47,
    tkm_code_material_count = 48,
    tkm_code_material_index = 49,
    tkm_code_material_name_length = 50,
    tkm_code_material_name = 51,
    tkm_code_material_ref_count = 52,
    tkm_code_material_ref_aux = 53,
    tkm_code_material_ref_texture = 54,
    tkm_code_material_aux_word = 55,
    tkm_code_material_diffuse = 56,
    tkm_code_material_ambient = 57,
    tkm_code_material_specular = 58,
    tkm_code_material_aux_float1 = 59,
    tkm_code_material_transparency = 60,
    tkm_code_material_two_sided = 61,
    tkm_code_material_emission = 62,
    tkm_code_material_shininess = 63,
    tkm_code_material_aux_float2 = 64,
    tkm_code_grips = 65,
    tkm_code_grippers = 66,
};

// The sections of a TKM file, in file order, for read_place::section.
enum tkm_section : int {
    tkm_in_header,
    tkm_in_bones,
    tkm_in_runs,
    tkm_in_vertices,
    tkm_in_blends,
    tkm_in_texcoords,
    tkm_in_corners,
    tkm_in_triangles,
    tkm_in_material_runs,
    tkm_in_triangle_lists,
    tkm_in_texture_names,
    tkm_in_materials,
    tkm_in_grips,
    tkm_in_grippers,
};

// A short description of code's field ("bone rotation"), or null for a code outside 1..66.
const char *tkm_code_field(int code);

// Fills failure (code, field, message) for a read of mesh from path that stopped with code at
// place; failure->offset and at_end are set beforehand (note_stop). No message for code 1, which
// prints its own.
void explain_tkm_failure(const tkm_mesh *mesh, const char *path, int code, const read_place &place,
                         read_failure *failure);
