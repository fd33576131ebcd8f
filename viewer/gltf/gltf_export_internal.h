// SPDX-License-Identifier: MIT
// The glTF export's working state and the steps that fill each part of the document, shared by
// its files (gltf_export.cpp puts them together; the tests reach the steps through here).
//
// Index: gltf_export_state                       - one export at work
//        vertex_skin                             - the joints and weights of one mesh vertex
//        add_buffer_view / add_accessor          - the binary buffer
//        utf8_name                               - names as glTF's JSON takes them
//        export_materials, export_skeleton, export_geometry, export_animations - the steps
#pragma once

#include <tiny_gltf.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/gltf/gltf_export.h"
#include "viewer/gltf/gltf_export_math.h"

// Up to four joints of one mesh vertex (stored or blend), as the skin gives them.
struct vertex_skin {
    std::array<uint16_t, 4> joints{0, 0, 0, 0};
    std::array<float, 4> weights{1, 0, 0, 0}; // sum 1; unused slots 0 with joint 0
    bool exact = true; // the skin places it where the viewer does in every pose
};

struct gltf_export_state {
    const tkm_mesh &mesh;
    const gltf_export_options &options;
    gltf_export_report &report;
    tinygltf::Model model;
    std::vector<uint8_t> data; // buffer 0: geometry, skin, animations and (in a .glb) images
    // Per mesh vertex, the stored ones first, then the blend vertices (the corners' numbering):
    std::vector<std::array<float, 3>> rest_positions; // as the viewer places them in the rest pose
    std::vector<vertex_skin> skins;                   // filled when the mesh has bones
    std::vector<dmat4> inverse_binds;                 // per bone, as exported (float values)
    int armature_node = -1; // the skeleton's root node; joints are nodes 0 to num_bones - 1
    std::vector<gltf_file> image_files; // .gltf only: the images to write beside it

    gltf_export_state(const tkm_mesh &m, const gltf_export_options &o, gltf_export_report &r)
        : mesh(m), options(o), report(r) {}
};

// Appends bytes to the buffer at a 4-byte boundary as a new buffer view; its index. target is
// TINYGLTF_TARGET_ARRAY_BUFFER, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER or 0 for none.
int add_buffer_view(gltf_export_state &state, const void *bytes, size_t size, int target);
// A new buffer view of size zero bytes to be filled in place; its index, and in *offset where
// its bytes start in the state's data.
int reserve_buffer_view(gltf_export_state &state, size_t size, int target, size_t *offset);
// A new accessor of count elements at offset into view; its index. min and max are given for
// the accessors that need them (positions, animation times).
int add_accessor(gltf_export_state &state, int view, size_t offset, int component_type, int type,
                 size_t count, std::vector<double> min = {}, std::vector<double> max = {});
// text up to its zero byte as UTF-8: valid UTF-8 is kept, any other byte is read as Latin-1.
std::string utf8_name(const char *text);
// A file name as a relative URI: everything but the unreserved characters percent-encoded.
std::string uri_of_file_name(const std::string &file_name);
// A finite float, or false with the report's error naming what (for example "vertex 3") and why.
bool check_finite(gltf_export_state &state, const float *values, int count, const char *what,
                  uint32_t index);

// One glTF material per mesh material (same indices), with the textures of their first texture
// references found, converted where needed and embedded or listed for writing beside the file.
int32_t export_materials(gltf_export_state &state);
// The rest positions and, when the mesh has bones, the joints and weights of every vertex.
int32_t prepare_vertices(gltf_export_state &state);
// Joint nodes with their rest transforms, the skeleton root, grips and grippers, the skin with
// its inverse bind matrices.
int32_t export_skeleton(gltf_export_state &state);
// The mesh (flat normals, texture coordinates, hit colours, joints and weights, one primitive
// per material run) and the node that shows it.
int32_t export_geometry(gltf_export_state &state);
// One glTF animation per animation of the options, and the largest deviation of the skin from
// the viewer's posing over the rest pose and every exported frame.
int32_t export_animations(gltf_export_state &state);
