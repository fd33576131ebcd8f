// SPDX-License-Identifier: MIT
// The neutral model: what the Milkshape and glTF readers fill and the TKM and TKA builders read.
//
// Index
//   records: scene_joint, scene_weight, scene_vertex, scene_corner, scene_triangle, scene_group,
//            scene_image, scene_material, scene_attachment, scene_key_track, scene_track,
//            scene_animation, scene_model
//
// Conventions: matrices are sixteen floats, column-major, translation in elements 12 to 14, and
// A x B applies B first (as everywhere in the viewer); quaternions are x y z w in the textbook
// sense (the rotation matrix R with p' = R p, as glTF stores them), which is NOT the convention of
// tkm_bone::rotation: the builders convert. Times are seconds. Nothing here has a format's limit:
// counts and name lengths are checked by the builder that needs them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A joint of the skeleton, in its bind pose.
struct scene_joint {
    std::string name;    // as the source names it; never empty once a reader succeeded
    int32_t parent = -1; // index of an earlier joint; -1 for a root
    float local[16];     // bind pose relative to the parent: rotation and translation, no scale
    // Why the reader named the joint itself: "no name" or "a repeated name" in the source; empty
    // when name is the source's own. Matching by name (onto a given skeleton) refuses such joints.
    const char *name_fault = nullptr;
};

// One joint's share of a vertex.
struct scene_weight {
    uint32_t joint = 0; // index into joints
    float weight = 0;   // > 0
};

// A vertex in the bind pose, in model space.
struct scene_vertex {
    float position[3] = {0, 0, 0};
    uint8_t num_weights = 0; // 0 (not bound to any joint) to 4
    scene_weight weights[4]; // heaviest first; they sum to 1 when num_weights > 1
};

// A triangle corner: its vertex, texture coordinate and hit-region colour.
struct scene_corner {
    uint32_t vertex = 0;    // index into vertices
    float uv[2] = {0, 0};   // texture u and v as a TKM stores them (v counts from the top)
    uint16_t hit_color = 0; // 15-bit RGB hit-region colour (red bits 10..14, green 5..9, blue 0..4)
};

// A triangle, its corners in the TKM's winding (clockwise seen from the front).
struct scene_triangle {
    scene_corner corners[3];
};

// Triangles drawn with one material; the builders make one material run per group with triangles.
struct scene_group {
    std::string name;
    int32_t material = -1;           // index into materials; -1: none
    std::vector<uint32_t> triangles; // indices into triangles
};

// An image a material uses whose file has to be written beside the converted mesh.
struct scene_image {
    std::string file_name;      // the name the mesh's texture list carries ("swat_face.tga")
    std::string mime_type;      // of bytes: "image/png" or "image/jpeg"
    std::vector<uint8_t> bytes; // the encoded image as the source holds it
};

// A material, in Milkshape's terms (which the TKM conversion rules are written in).
struct scene_material {
    std::string name;                            // never empty once a reader succeeded
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f}; // red green blue alpha, 0..1
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float specular[4] = {0, 0, 0, 1};
    float emissive[4] = {0, 0, 0, 1};
    float shininess = 0;    // 0..128
    float transparency = 1; // Milkshape's sense: 1 is opaque
    std::string texture;    // the texture name the mesh stores; empty: no texture
    int32_t image = -1;     // index into images when the texture's file is to be written; -1: none
};

// What an attachment point is for; unknown lets the builder choose by the model's class.
enum class attachment_kind { unknown, grip, gripper };

// An attachment point carried by a joint: a grip on a weapon, a gripper on a character.
struct scene_attachment {
    std::string name;
    attachment_kind kind = attachment_kind::unknown;
    uint32_t joint = 0; // index into joints
    float local[16];    // placement relative to the joint, where it is drawn: a gripper's TKM
                        // local matrix, the rigid inverse of a grip's (the builder inverts it)
};

// How values between two keys are found.
enum class scene_interpolation { step, linear, cubic_spline };

// Keys of one property of one joint.
struct scene_key_track {
    scene_interpolation interpolation = scene_interpolation::linear;
    std::vector<float> times;  // seconds, strictly increasing
    std::vector<float> values; // per key: the value (4 floats for a rotation, 3 otherwise);
                               // cubic_spline: in-tangent, value, out-tangent per key
};

// The animated properties of one joint, each relative to the joint's parent; an empty track
// leaves that property at its bind-pose value.
struct scene_track {
    uint32_t joint = 0;          // index into joints
    scene_key_track rotation;    // quaternions, replacing the bind rotation
    scene_key_track translation; // positions, replacing the bind translation
    scene_key_track scale;       // scale factors (a TKA cannot hold them: reported, not kept)
};

// A named animation of the skeleton.
struct scene_animation {
    std::string name;
    std::vector<scene_track> tracks; // at most one per joint
    // The joints a TKA animates, by name, where the file says (a TKA exported by tkmtool lists
    // them); empty: every joint whose rotation the animation keys.
    std::vector<std::string> animated_joints = {};
};

// A whole model as read from a file.
struct scene_model {
    std::string name; // the model's name ("Milkshape" for a Milkshape file); never empty
    std::vector<scene_joint> joints;
    std::vector<scene_vertex> vertices;
    std::vector<scene_triangle> triangles;
    std::vector<scene_group> groups;
    std::vector<scene_material> materials;
    std::vector<scene_image> images;
    std::vector<scene_attachment> attachments;
    std::vector<scene_animation> animations;
    bool has_hit_colors = false; // the source carried hit-region colours
};
