// SPDX-License-Identifier: MIT
// Node transforms and the node hierarchy of a glTF model, shared by the skeleton, the
// attachments and the animations: matrices in double precision, rigid frames, parents.
//
// Index: matrices | hierarchy
#include <cmath>

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

} // namespace gltf_import
