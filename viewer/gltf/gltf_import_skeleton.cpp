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

// ---- matrices

mat4d identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

mat4d multiply(const mat4d &a, const mat4d &b) {
    mat4d out{};
    for (int column = 0; column < 4; column++)
        for (int row = 0; row < 4; row++) {
            double sum = 0;
            for (int k = 0; k < 4; k++)
                sum += a[size_t(4 * k + row)] * b[size_t(4 * column + k)];
            out[size_t(4 * column + row)] = sum;
        }
    return out;
}

std::array<double, 3> transform_point(const mat4d &m, const double *p) {
    std::array<double, 3> out{};
    for (size_t row = 0; row < 3; row++)
        out[row] = m[row] * p[0] + m[4 + row] * p[1] + m[8 + row] * p[2] + m[12 + row];
    return out;
}

namespace {

// A node's own transform: its matrix, or translation × rotation × scale.
mat4d node_local(const tinygltf::Node &node) {
    if (node.matrix.size() == 16) {
        mat4d m{};
        for (size_t i = 0; i < 16; i++)
            m[i] = node.matrix[i];
        return m;
    }
    double t[3] = {0, 0, 0}, q[4] = {0, 0, 0, 1}, s[3] = {1, 1, 1};
    for (size_t i = 0; i < 3 && node.translation.size() == 3; i++)
        t[i] = node.translation[i];
    for (size_t i = 0; i < 4 && node.rotation.size() == 4; i++)
        q[i] = node.rotation[i];
    for (size_t i = 0; i < 3 && node.scale.size() == 3; i++)
        s[i] = node.scale[i];
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    if (length > 0)
        for (double &v : q)
            v /= length;
    const double x = q[0], y = q[1], z = q[2], w = q[3];
    const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                         2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                         2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
    mat4d m = identity();
    for (size_t column = 0; column < 3; column++)
        for (size_t row = 0; row < 3; row++)
            m[4 * column + row] = r[3 * column + row] * s[column];
    m[12] = t[0], m[13] = t[1], m[14] = t[2];
    return m;
}

bool finite(const mat4d &m) {
    for (double v : m)
        if (!std::isfinite(v)) return false;
    return true;
}

// The rotation of m without its scale (orthonormalised columns) and its translation.
mat4d rigid_frame(const mat4d &m) {
    auto column = [&m](size_t c) {
        return std::array<double, 3>{m[4 * c], m[4 * c + 1], m[4 * c + 2]};
    };
    auto length = [](const std::array<double, 3> &v) {
        return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    };
    std::array<double, 3> x = column(0), y = column(1);
    const double lx = length(x);
    mat4d out = identity();
    if (lx > 1e-12) {
        for (double &v : x)
            v /= lx;
        const double along = x[0] * y[0] + x[1] * y[1] + x[2] * y[2];
        for (size_t i = 0; i < 3; i++)
            y[i] -= along * x[i];
        const double ly = length(y);
        if (ly > 1e-12) {
            for (double &v : y)
                v /= ly;
            const std::array<double, 3> z = {x[1] * y[2] - x[2] * y[1], x[2] * y[0] - x[0] * y[2],
                                             x[0] * y[1] - x[1] * y[0]};
            for (size_t i = 0; i < 3; i++)
                out[i] = x[i], out[4 + i] = y[i], out[8 + i] = z[i];
        }
    }
    out[12] = m[12], out[13] = m[13], out[14] = m[14];
    return out;
}

// The inverse of a rigid frame: transposed rotation, translation moved back.
mat4d rigid_inverse(const mat4d &m) {
    mat4d out = identity();
    for (size_t row = 0; row < 3; row++)
        for (size_t column = 0; column < 3; column++)
            out[4 * column + row] = m[4 * row + column];
    for (size_t row = 0; row < 3; row++)
        out[12 + row] = -(out[row] * m[12] + out[4 + row] * m[13] + out[8 + row] * m[14]);
    return out;
}

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

// ---- hierarchy

// Every node's parent (-1 for roots), after checking that children exist, that no node has two
// parents and that no chain of parents returns to where it started.
int node_parents(const tinygltf::Model &model, std::vector<int> *parent, std::string *why) {
    const size_t count = model.nodes.size();
    parent->assign(count, -1);
    for (size_t n = 0; n < count; n++)
        for (int child : model.nodes[n].children) {
            if (child < 0 || size_t(child) >= count) {
                *why = format("node %zu names child %d, which does not exist", n, child);
                return gltf_bad_hierarchy;
            }
            if (size_t(child) == n) {
                *why = format("the node hierarchy has a cycle: node %zu is its own child", n);
                return gltf_bad_hierarchy;
            }
            if ((*parent)[size_t(child)] >= 0) {
                *why = format("node %d is the child of both node %d and node %zu", child,
                              (*parent)[size_t(child)], n);
                return gltf_bad_hierarchy;
            }
            (*parent)[size_t(child)] = int(n);
        }
    // With one parent each, a chain longer than the node count can only be a cycle.
    std::vector<char> rooted(count, 0);
    for (size_t n = 0; n < count; n++) {
        std::vector<size_t> chain;
        size_t at = n;
        while (!rooted[at]) {
            chain.push_back(at);
            if (chain.size() > count) {
                *why = format("the node hierarchy has a cycle through node %zu", n);
                return gltf_bad_hierarchy;
            }
            if ((*parent)[at] < 0) break;
            at = size_t((*parent)[at]);
        }
        for (size_t node : chain)
            rooted[node] = 1;
    }
    return 0;
}

// The world matrix of node: its ancestors' transforms and its own.
int node_world(const tinygltf::Model &model, const std::vector<int> &parent, int node, mat4d *world,
               std::string *why) {
    mat4d m = identity();
    for (int at = node; at >= 0; at = parent[size_t(at)]) {
        const mat4d local = node_local(model.nodes[size_t(at)]);
        if (!finite(local)) {
            *why = format("node %d has a transform that is not finite", at);
            return gltf_bad_document;
        }
        m = multiply(local, m);
    }
    *world = m;
    return 0;
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
