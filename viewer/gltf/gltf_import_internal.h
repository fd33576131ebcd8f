// SPDX-License-Identifier: MIT
// The glTF reader's parts, shared between its files: parsing, checked accessors, node transforms,
// and the skeleton, attachments, materials, geometry and animations, each filling its share of
// the neutral model.
#pragma once

#include <tiny_gltf.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/api.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/scene/scene.h"

namespace gltf_import {

// A matrix in the viewer's layout: column-major, translation in elements 12 to 14; kept in
// double precision while transforms are combined.
using mat4d = std::array<double, 16>;

// ---- node transforms (gltf_import_nodes.cpp)

mat4d identity();
// a × b: b applied first.
mat4d multiply(const mat4d &a, const mat4d &b);
// The point p (3 values) transformed by m.
std::array<double, 3> transform_point(const mat4d &m, const double *p);

// A node's own transform: its matrix, or translation × rotation × scale.
mat4d node_local(const tinygltf::Node &node);
// Whether every element is a finite number.
bool finite(const mat4d &m);
// The rotation of m without its scale (orthonormalised columns) and its translation.
mat4d rigid_frame(const mat4d &m);
// The inverse of a rigid frame: transposed rotation, translation moved back.
mat4d rigid_inverse(const mat4d &m);
// Every node's parent (-1 for roots), after checking that children exist, that no node has two
// parents and that no chain of parents returns to where it started. 0 or a code with *why.
int node_parents(const tinygltf::Model &model, std::vector<int> *parent, std::string *why);
// The world matrix of node: its ancestors' transforms and its own. 0 or a code with *why.
int node_world(const tinygltf::Model &model, const std::vector<int> &parent, int node, mat4d *world,
               std::string *why);

// ---- images (gltf_import_images.cpp)

// The file extension of a PNG or JPEG image (".png", ".jpg") and its size from its header; null
// for anything else.
const char *image_kind(const std::vector<uint8_t> &bytes, uint32_t *width, uint32_t *height);
// text cut to most bytes with anything but letters, digits, '-', '_' and '.' turned into '_'.
std::string file_safe(const std::string &text, size_t most);

// ---- parsing (gltf_import_parse.cpp)

// Parses a .glb or .gltf held in memory into model, with external files looked for in base_dir
// (none when null). 0 or a gltf_import_code, with *why filled in.
int parse_gltf(tinygltf::Model *model, const uint8_t *data, size_t size, const char *base_dir,
               std::string *why);

// ---- accessors (gltf_import_accessors.cpp)

// What an accessor is read for; each use allows its own element types (the reader's rule
// table lists them in this order).
enum class accessor_use {
    position,
    normal,
    texcoord,
    joints,
    weights,
    indices,
    matrices,
    colour,        // COLOR_n and _HIT_COLOR: RGB or RGBA
    times,         // an animation sampler's key times
    vector_keys,   // translation and scale keys
    rotation_keys, // quaternion keys (floats or normalised integers)
};

// An accessor's elements as doubles (normalised integers scaled to 0..1), count × components.
struct accessor_data {
    std::vector<double> values;
    size_t count = 0;
    int components = 0;
    const double *at(size_t i) const { return values.data() + i * static_cast<size_t>(components); }
};

// Reads accessor index for use after checking that it and its buffer view lie inside their
// buffers and that its element type suits the use. 0 or a gltf_import_code with *why.
int read_accessor(const tinygltf::Model &model, int index, accessor_use use, accessor_data *out,
                  std::string *why);

// ---- the neutral model (gltf_import_scene_*.cpp)

// The skin of the converted mesh node as the neutral model's skeleton sees it.
struct scene_skeleton {
    std::vector<int> node_parent;      // per node: its parent node, -1 for a root
    std::vector<int> joint_of_node;    // per node: its skin joint index, -1 for none
    std::vector<int> bone_of_joint;    // per skin joint: its index in scene_model::joints
    std::vector<mat4d> joint_matrices; // per skin joint: its world matrix × inverse bind matrix
    std::vector<mat4d> frames;         // per scene joint: its rigid world frame at rest
    mat4d mesh_world = identity();     // an unskinned mesh's node transform
    bool skinned = false;
};

// The joints of node's skin (or one root joint for an unskinned mesh) into scene->joints, every
// parent before its children, named uniquely. 0 or a code with *why.
int read_scene_skeleton(const tinygltf::Model &model, int node, scene_skeleton *out,
                        scene_model *scene, std::string *why);
// Every node that is neither a joint nor a mesh and whose parent is a joint, as an attachment.
void read_scene_attachments(const tinygltf::Model &model, const scene_skeleton &skeleton,
                            scene_model *scene);

// Which scene material each converted primitive uses and the texture coordinate set its
// base-colour texture reads.
struct scene_material_choice {
    std::vector<size_t> number; // per converted primitive: its index in the mesh, for messages
    std::vector<int32_t> slot;  // per converted primitive: index into scene_model::materials
    std::vector<int> texcoord;  // per converted primitive
};
// One scene material per glTF material the primitives use (in file order) and a default one for
// primitives without; their base-colour images into scene->images, named with prefix unless
// the image's name carries its own file name. 0 or a code with *why.
int read_scene_materials(const tinygltf::Model &model,
                         const std::vector<const tinygltf::Primitive *> &primitives,
                         const std::string &prefix, scene_model *scene,
                         scene_material_choice *choice, std::string *why);
// Vertices in the rest pose with up to four joints each, triangles with texture coordinates and
// hit colours, one group per primitive. 0 or a code with *why.
int read_scene_geometry(const tinygltf::Model &model,
                        const std::vector<const tinygltf::Primitive *> &primitives,
                        const scene_material_choice &choice, const scene_skeleton &skeleton,
                        scene_model *scene, std::string *why);
// Every animation as tracks of the scene's joints, relative to each joint's scene parent.
// 0 or a code with *why.
int read_scene_animations(const tinygltf::Model &model, const scene_skeleton &skeleton,
                          scene_model *scene, std::string *why);

// ---- helpers (gltf_import_internal.cpp)

// The whole file at path (a regular file of at most 1 GiB). 0 or gltf_cannot_open with *why.
int read_gltf_file(const char *path, std::vector<uint8_t> *bytes, std::string *why);
// The triangle primitives of mesh (with their indices in numbers); the others are reported and
// left out.
void triangle_primitives(const tinygltf::Mesh &mesh, std::vector<const tinygltf::Primitive *> *out,
                         std::vector<size_t> *numbers);

// Formats like printf into a std::string.
std::string format(const char *pattern, ...) LARKSPUR_PRINTF(1, 2);

} // namespace gltf_import
