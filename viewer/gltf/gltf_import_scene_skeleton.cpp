// SPDX-License-Identifier: MIT
// The skeleton and the attachment points of a glTF model in the neutral model: the skin's joints
// with every parent before its children, named uniquely, posed by their node transforms (as rigid
// frames: scale stays in the vertices); the nodes hung on joints that are neither joints nor
// meshes, as grips and grippers.
//
// Index: names | read_scene_skeleton | read_scene_attachments
#include <algorithm>
#include <cstring>
#include <set>

#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

// ---- names

// The name up to any zero byte (a TKM name ends there), made unique among used; an empty name
// becomes the fallback.
std::string unique_name(const std::string &wanted, const std::string &fallback,
                        std::set<std::string> *used) {
    std::string base = wanted.substr(0, wanted.find('\0'));
    if (base.empty()) base = fallback;
    std::string name = base;
    for (int attempt = 2; used->count(name); attempt++)
        name = base + format("_%d", attempt);
    used->insert(name);
    return name;
}

void store_matrix(float *to, const mat4d &from) {
    for (size_t i = 0; i < 16; i++)
        to[i] = float(from[i]);
}

} // namespace

// ---- read_scene_skeleton

int read_scene_skeleton(const tinygltf::Model &model, int node_index, scene_skeleton *out,
                        scene_model *scene, std::string *why) {
    if (int code = node_parents(model, &out->node_parent, why)) return code;
    out->joint_of_node.assign(model.nodes.size(), -1);
    const tinygltf::Node &node = model.nodes[size_t(node_index)];
    std::set<std::string> used;
    if (node.skin < 0) { // a static mesh: one root joint where the model's origin is
        if (int code = node_world(model, out->node_parent, node_index, &out->mesh_world, why))
            return code;
        scene_joint root;
        root.name = unique_name(node.name, "root", &used);
        store_matrix(root.local, identity());
        scene->joints.push_back(root);
        out->frames.push_back(identity());
        return 0;
    }
    if (size_t(node.skin) >= model.skins.size()) {
        *why = format("node %d names skin %d, which does not exist", node_index, node.skin);
        return gltf_bad_document;
    }
    const tinygltf::Skin &skin = model.skins[size_t(node.skin)];
    const size_t count = skin.joints.size();
    if (count == 0) {
        *why = format("skin %d has no joints", node.skin);
        return gltf_bad_skin;
    }
    for (size_t j = 0; j < count; j++) {
        const int n = skin.joints[j];
        if (n < 0 || size_t(n) >= model.nodes.size()) {
            *why = format("skin %d names node %d as a joint, which does not exist", node.skin, n);
            return gltf_bad_skin;
        }
        if (out->joint_of_node[size_t(n)] >= 0) {
            *why = format("skin %d lists node %d twice", node.skin, n);
            return gltf_bad_skin;
        }
        out->joint_of_node[size_t(n)] = int(j);
    }
    // Each joint's parent is its nearest ancestor that is a joint too.
    std::vector<int> parent_joint(count, -1);
    std::vector<mat4d> world(count), frame(count);
    for (size_t j = 0; j < count; j++) {
        for (int at = out->node_parent[size_t(skin.joints[j])]; at >= 0 && parent_joint[j] < 0;
             at = out->node_parent[size_t(at)])
            parent_joint[j] = out->joint_of_node[size_t(at)];
        if (int code = node_world(model, out->node_parent, skin.joints[j], &world[j], why))
            return code;
        frame[j] = rigid_frame(world[j]);
    }
    // Joint order: the file's, with any joint's unlisted ancestors moved before it.
    std::vector<int> order;
    std::vector<char> placed(count, 0);
    for (size_t j = 0; j < count; j++) {
        std::vector<int> chain;
        for (int at = int(j); at >= 0 && !placed[size_t(at)]; at = parent_joint[size_t(at)])
            chain.push_back(at);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            placed[size_t(*it)] = 1;
            order.push_back(*it);
        }
    }
    out->skinned = true;
    out->bone_of_joint.assign(count, 0);
    for (size_t b = 0; b < count; b++)
        out->bone_of_joint[size_t(order[b])] = int(b);
    scene->joints.resize(count);
    out->frames.resize(count);
    for (size_t b = 0; b < count; b++) {
        const size_t j = size_t(order[b]);
        const int up = parent_joint[j];
        scene_joint &joint = scene->joints[b];
        const std::string &given = model.nodes[size_t(skin.joints[j])].name;
        joint.name = unique_name(given, format("joint%zu", j), &used);
        const std::string own = given.substr(0, given.find('\0'));
        if (own.empty())
            joint.name_fault = "no name";
        else if (joint.name != own)
            joint.name_fault = "a repeated name";
        joint.parent = up < 0 ? -1 : out->bone_of_joint[size_t(up)];
        store_matrix(joint.local,
                     up < 0 ? frame[j] : multiply(rigid_inverse(frame[size_t(up)]), frame[j]));
        out->frames[b] = frame[j];
    }
    // Rest-pose skinning: joint world × inverse bind matrix (identity when the skin has none).
    accessor_data inverse_binds;
    if (skin.inverseBindMatrices >= 0) {
        if (int code = read_accessor(model, skin.inverseBindMatrices, accessor_use::matrices,
                                     &inverse_binds, why))
            return code;
        if (inverse_binds.count < count) {
            *why = format("skin %d has %zu inverse bind matrices for %zu joints", node.skin,
                          inverse_binds.count, count);
            return gltf_bad_skin;
        }
    }
    out->joint_matrices.resize(count);
    for (size_t j = 0; j < count; j++) {
        mat4d inverse_bind = identity();
        if (inverse_binds.count)
            for (size_t i = 0; i < 16; i++)
                inverse_bind[i] = inverse_binds.at(j)[i];
        out->joint_matrices[j] = multiply(world[j], inverse_bind);
    }
    return 0;
}

// ---- read_scene_attachments

void read_scene_attachments(const tinygltf::Model &model, const scene_skeleton &skeleton,
                            scene_model *scene) {
    if (!skeleton.skinned) return;
    std::set<std::string> used;
    for (size_t n = 0; n < model.nodes.size(); n++) {
        const tinygltf::Node &node = model.nodes[n];
        const int parent = skeleton.node_parent[n];
        if (node.mesh >= 0 || skeleton.joint_of_node[n] >= 0 || parent < 0 ||
            skeleton.joint_of_node[size_t(parent)] < 0)
            continue;
        scene_attachment attachment;
        const uint32_t joint =
            uint32_t(skeleton.bone_of_joint[size_t(skeleton.joint_of_node[size_t(parent)])]);
        attachment.joint = joint;
        attachment.name = unique_name(node.name, format("attachment%zu", n), &used);
        if (node.extras.IsObject() && node.extras.Has("tarvik_attachment")) {
            const tinygltf::Value &kind = node.extras.Get("tarvik_attachment");
            const std::string text = kind.IsString() ? kind.Get<std::string>() : std::string();
            attachment.kind = text == "grip"      ? attachment_kind::grip
                              : text == "gripper" ? attachment_kind::gripper
                                                  : attachment_kind::unknown;
        }
        // Placed in the joint's rigid frame; a scaled joint's scale reaches the placement.
        mat4d world = identity();
        std::string unused;
        if (node_world(model, skeleton.node_parent, int(n), &world, &unused)) continue;
        store_matrix(attachment.local,
                     multiply(rigid_inverse(skeleton.frames[joint]), rigid_frame(world)));
        scene->attachments.push_back(attachment);
    }
    // By name: the order of nodes means nothing in glTF and Blender changes it, while the game's
    // attachment points are numbered by their names (Grip1, Grip2, Grip3).
    std::stable_sort(
        scene->attachments.begin(), scene->attachments.end(),
        [](const scene_attachment &a, const scene_attachment &b) { return a.name < b.name; });
}

} // namespace gltf_import
