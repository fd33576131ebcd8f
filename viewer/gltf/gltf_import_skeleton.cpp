// The skeleton of a glTF model: the node hierarchy is checked (no cycles, one parent per node),
// the skin's joints become Milkshape joints with every parent before its children, named
// uniquely, posed by their node transforms (as rigid frames: scale stays in the vertices), and
// each joint gets the matrix that puts its vertices into that rest pose.
//
// Index: matrices | hierarchy | joints | build_skeleton
#include <cmath>
#include <set>

#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

// The three angles in degrees that euler_matrix turns back into the rotation of m: the first
// about z, the second about x, the third about y (row 2 of that matrix is -sin c cos b, sin b,
// cos b cos c; column 1 is -sin a cos b, cos a cos b, sin b).
void euler_angles(const mat4d &m, float *angles) {
    auto at = [&m](size_t row, size_t column) { return m[4 * column + row]; };
    const double b = std::asin(std::fmax(-1.0, std::fmin(1.0, at(2, 1))));
    double a, c;
    if (std::cos(b) > 1e-9) {
        a = std::atan2(-at(0, 1), at(1, 1));
        c = std::atan2(-at(2, 0), at(2, 2));
    } else { // b is ±90 degrees: only a + c or a − c is known, so c is taken as 0
        a = std::atan2(at(1, 0), at(0, 0));
        c = 0;
    }
    const double to_degrees = 180.0 / 3.14159265358979323846;
    angles[0] = static_cast<float>(a * to_degrees) + 0.0f; // + 0: no negative zeros
    angles[1] = static_cast<float>(b * to_degrees) + 0.0f;
    angles[2] = static_cast<float>(c * to_degrees) + 0.0f;
}

// ---- joints

// The name cut to what a Milkshape name field holds and made unique among used; an empty name
// becomes "jointN".
std::string unique_name(const std::string &wanted, size_t index, std::set<std::string> *used) {
    const size_t room = ms3d_name_size - 1;
    std::string base = wanted.substr(0, wanted.find('\0')).substr(0, room);
    if (base.empty()) base = format("joint%zu", index);
    std::string name = base;
    for (int attempt = 0; used->count(name); attempt++) {
        const std::string suffix =
            attempt ? format("_%zu_%d", index, attempt) : format("_%zu", index);
        name = base.substr(0, room - suffix.size()) + suffix;
    }
    used->insert(name);
    return name;
}

void fill_joint(ms3d_joint *joint, const std::string &name, const std::string &parent,
                const mat4d &local) {
    *joint = ms3d_joint{};
    set_name(joint->name, sizeof joint->name, name);
    set_name(joint->parent_name, sizeof joint->parent_name, parent);
    euler_angles(local, joint->rotation);
    for (size_t i = 0; i < 3; i++)
        joint->position[i] = static_cast<float>(local[12 + i]);
}

} // namespace

int choose_mesh_node(const tinygltf::Model &model) {
    for (size_t n = 0; n < model.nodes.size(); n++)
        if (model.nodes[n].mesh >= 0 && model.nodes[n].skin >= 0) return int(n);
    for (size_t n = 0; n < model.nodes.size(); n++)
        if (model.nodes[n].mesh >= 0) return int(n);
    return -1;
}

// ---- build_skeleton

int build_skeleton(const tinygltf::Model &model, int node_index, skeleton *out, std::string *why) {
    std::vector<int> parent;
    if (int code = node_parents(model, &parent, why)) return code;
    const tinygltf::Node &node = model.nodes[size_t(node_index)];
    if (node.skin < 0) { // a static mesh: one root bone where the model's origin is
        if (int code = node_world(model, parent, node_index, &out->mesh_world, why)) return code;
        std::set<std::string> used;
        out->joints.resize(1);
        fill_joint(&out->joints[0], unique_name(node.name.empty() ? "root" : node.name, 0, &used),
                   "", identity());
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
    if (count > gltf_most_joints) {
        *why = format("skin %d has %zu joints; a mesh can hold at most %u", node.skin, count,
                      gltf_most_joints);
        return gltf_too_many_joints;
    }
    std::vector<int> joint_of_node(model.nodes.size(), -1);
    for (size_t j = 0; j < count; j++) {
        const int n = skin.joints[j];
        if (n < 0 || size_t(n) >= model.nodes.size()) {
            *why = format("skin %d names node %d as a joint, which does not exist", node.skin, n);
            return gltf_bad_skin;
        }
        if (joint_of_node[size_t(n)] >= 0) {
            *why = format("skin %d lists node %d twice", node.skin, n);
            return gltf_bad_skin;
        }
        joint_of_node[size_t(n)] = int(j);
    }
    // Each joint's parent is its nearest ancestor that is a joint too.
    std::vector<int> parent_joint(count, -1);
    std::vector<mat4d> world(count), frame(count);
    for (size_t j = 0; j < count; j++) {
        for (int at = parent[size_t(skin.joints[j])]; at >= 0 && parent_joint[j] < 0;
             at = parent[size_t(at)])
            parent_joint[j] = joint_of_node[size_t(at)];
        if (int code = node_world(model, parent, skin.joints[j], &world[j], why)) return code;
        frame[j] = rigid_frame(world[j]);
    }
    // Bone order: the file's joint order, with any joint's unlisted ancestors moved before it.
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
    std::vector<std::string> names(count);
    std::set<std::string> used;
    for (int j : order)
        names[size_t(j)] =
            unique_name(model.nodes[size_t(skin.joints[size_t(j)])].name, size_t(j), &used);
    out->joints.resize(count);
    for (size_t b = 0; b < count; b++) {
        const size_t j = size_t(order[b]);
        const int up = parent_joint[j];
        const mat4d local =
            up < 0 ? frame[j] : multiply(rigid_inverse(frame[size_t(up)]), frame[j]);
        fill_joint(&out->joints[b], names[j], up < 0 ? "" : names[size_t(up)], local);
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

} // namespace gltf_import
