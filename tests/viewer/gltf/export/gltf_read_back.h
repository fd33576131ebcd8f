// SPDX-License-Identifier: MIT
// Reading an exported glTF back with tinygltf and posing its skin the way a glTF reader does, for
// the export's tests. The arithmetic is glTF's definition of skinning, written apart from the
// exporter's own, so that a fault there cannot hide behind the same fault here.
//
// Index: load_files / load_glb       - the document from the export's files
//        floats / integers           - an accessor's elements
//        node_parents / node_worlds  - the hierarchy, and world matrices at an animation key
//        skinned_positions           - every glTF vertex skinned at an animation key
//        tkm_vertex_of               - which mesh vertex each glTF vertex came from
#pragma once

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/temp_dir.h"
#include "viewer/gltf/gltf_export.h"
#include "viewer/mesh/mesh.h"

namespace gltf_read_back {

using mat4 = std::array<double, 16>; // column-major
using vec3 = std::array<double, 3>;

// The .glb among files, read from memory; images are decoded into their pixels.
inline bool load_glb(const std::vector<uint8_t> &bytes, tinygltf::Model *model,
                     std::string *error) {
    tinygltf::TinyGLTF loader;
    std::string warning;
    return loader.LoadBinaryFromMemory(model, error, &warning, bytes.data(),
                                       static_cast<unsigned>(bytes.size()));
}

// The export's files written into dir and the main one read from there (either form).
inline bool load_files(const temp_dir &dir, const std::vector<gltf_file> &files,
                       tinygltf::Model *model, std::string *error) {
    for (const gltf_file &file : files)
        write_all(dir / file.name,
                  std::vector<unsigned char>(file.bytes.begin(), file.bytes.end()));
    tinygltf::TinyGLTF loader;
    std::string warning;
    const std::string path = dir / files.at(0).name;
    if (path.size() > 4 && path.compare(path.size() - 4, 4, ".glb") == 0)
        return loader.LoadBinaryFromFile(model, error, &warning, path);
    return loader.LoadASCIIFromFile(model, error, &warning, path);
}

inline const uint8_t *element_bytes(const tinygltf::Model &model, int accessor_index,
                                    size_t *stride) {
    const tinygltf::Accessor &accessor = model.accessors.at(size_t(accessor_index));
    const tinygltf::BufferView &view = model.bufferViews.at(size_t(accessor.bufferView));
    const tinygltf::Buffer &buffer = model.buffers.at(size_t(view.buffer));
    size_t size = size_t(tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType)) *
                         tinygltf::GetNumComponentsInType(uint32_t(accessor.type)));
    *stride = view.byteStride ? view.byteStride : size;
    size_t start = view.byteOffset + accessor.byteOffset;
    EXPECT_LE(start + (accessor.count ? (accessor.count - 1) * *stride + size : 0),
              view.byteOffset + view.byteLength);
    EXPECT_LE(view.byteOffset + view.byteLength, buffer.data.size());
    return buffer.data.data() + start;
}

// A float accessor's components, element after element.
inline std::vector<float> floats(const tinygltf::Model &model, int accessor_index) {
    const tinygltf::Accessor &accessor = model.accessors.at(size_t(accessor_index));
    EXPECT_EQ(accessor.componentType, TINYGLTF_COMPONENT_TYPE_FLOAT);
    size_t stride = 0;
    const uint8_t *at = element_bytes(model, accessor_index, &stride);
    int n = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    std::vector<float> out(accessor.count * size_t(n));
    for (size_t i = 0; i < accessor.count; ++i)
        std::memcpy(&out[i * size_t(n)], at + i * stride, sizeof(float) * size_t(n));
    return out;
}

// An unsigned integer accessor's components, element after element.
inline std::vector<uint32_t> integers(const tinygltf::Model &model, int accessor_index) {
    const tinygltf::Accessor &accessor = model.accessors.at(size_t(accessor_index));
    size_t stride = 0;
    const uint8_t *at = element_bytes(model, accessor_index, &stride);
    int n = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    int size = tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType));
    std::vector<uint32_t> out;
    for (size_t i = 0; i < accessor.count; ++i)
        for (int c = 0; c < n; ++c) {
            uint32_t value = 0;
            std::memcpy(&value, at + i * stride + size_t(c * size), size_t(size)); // little-endian
            out.push_back(value);
        }
    return out;
}

// Each node's parent, -1 for the roots.
inline std::vector<int> node_parents(const tinygltf::Model &model) {
    std::vector<int> parents(model.nodes.size(), -1);
    for (size_t n = 0; n < model.nodes.size(); ++n)
        for (int child : model.nodes[n].children)
            parents.at(size_t(child)) = int(n);
    return parents;
}

inline mat4 multiply(const mat4 &a, const mat4 &b) {
    mat4 out{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                out[size_t(4 * c + r)] += a[size_t(4 * k + r)] * b[size_t(4 * c + k)];
    return out;
}

inline vec3 transform(const mat4 &m, const vec3 &p) {
    return {m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12],
            m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13],
            m[2] * p[0] + m[6] * p[1] + m[10] * p[2] + m[14]};
}

// T * R * S from a node's translation, unit quaternion (x, y, z, w) and scale.
inline mat4 compose(const std::vector<double> &t, const std::vector<double> &q,
                    const std::vector<double> &s) {
    double x = q.size() == 4 ? q[0] : 0, y = q.size() == 4 ? q[1] : 0;
    double z = q.size() == 4 ? q[2] : 0, w = q.size() == 4 ? q[3] : 1;
    double sx = s.size() == 3 ? s[0] : 1, sy = s.size() == 3 ? s[1] : 1,
           sz = s.size() == 3 ? s[2] : 1;
    mat4 m{};
    m[0] = (1 - 2 * y * y - 2 * z * z) * sx;
    m[1] = (2 * x * y + 2 * z * w) * sx;
    m[2] = (2 * x * z - 2 * y * w) * sx;
    m[4] = (2 * x * y - 2 * z * w) * sy;
    m[5] = (1 - 2 * x * x - 2 * z * z) * sy;
    m[6] = (2 * y * z + 2 * x * w) * sy;
    m[8] = (2 * x * z + 2 * y * w) * sz;
    m[9] = (2 * y * z - 2 * x * w) * sz;
    m[10] = (1 - 2 * x * x - 2 * y * y) * sz;
    if (t.size() == 3) {
        m[12] = t[0];
        m[13] = t[1];
        m[14] = t[2];
    }
    m[15] = 1;
    return m;
}

// Every node's world matrix with animation (null: none) at its key number key.
inline std::vector<mat4> node_worlds(const tinygltf::Model &model,
                                     const tinygltf::Animation *animation, size_t key) {
    std::vector<std::vector<double>> t(model.nodes.size()), r(model.nodes.size()),
        s(model.nodes.size());
    for (size_t n = 0; n < model.nodes.size(); ++n) {
        EXPECT_TRUE(model.nodes[n].matrix.empty()) << "node " << n;
        t[n] = model.nodes[n].translation;
        r[n] = model.nodes[n].rotation;
        s[n] = model.nodes[n].scale;
    }
    if (animation)
        for (const tinygltf::AnimationChannel &channel : animation->channels) {
            const tinygltf::AnimationSampler &sampler =
                animation->samplers.at(size_t(channel.sampler));
            EXPECT_EQ(sampler.interpolation, "LINEAR");
            std::vector<float> values = floats(model, sampler.output);
            size_t n = channel.target_path == "rotation" ? 4 : 3;
            std::vector<double> value(values.begin() + long(key * n),
                                      values.begin() + long(key * n + n));
            std::vector<std::vector<double>> &target = channel.target_path == "rotation"      ? r
                                                       : channel.target_path == "translation" ? t
                                                                                              : s;
            target.at(size_t(channel.target_node)) = value;
        }
    std::vector<int> parents = node_parents(model);
    std::vector<mat4> worlds(model.nodes.size());
    std::vector<bool> done(model.nodes.size(), false);
    // Parents may follow their children in the node list: settle them first.
    for (size_t pass = 0; pass < model.nodes.size(); ++pass)
        for (size_t n = 0; n < model.nodes.size(); ++n) {
            if (done[n] || (parents[n] >= 0 && !done[size_t(parents[n])])) continue;
            mat4 local = compose(t[n], r[n], s[n]);
            worlds[n] = parents[n] < 0 ? local : multiply(worlds[size_t(parents[n])], local);
            done[n] = true;
        }
    return worlds;
}

// Every vertex of the mesh's shared attributes skinned with the animation at key (null: the
// pose of the nodes' own transforms); the first primitive's attributes serve all of them.
inline std::vector<vec3> skinned_positions(const tinygltf::Model &model,
                                           const tinygltf::Animation *animation, size_t key) {
    const tinygltf::Primitive &primitive = model.meshes.at(0).primitives.at(0);
    const tinygltf::Skin &skin = model.skins.at(0);
    std::vector<float> positions = floats(model, primitive.attributes.at("POSITION"));
    std::vector<uint32_t> joints = integers(model, primitive.attributes.at("JOINTS_0"));
    std::vector<float> weights = floats(model, primitive.attributes.at("WEIGHTS_0"));
    std::vector<float> inverse_binds = floats(model, skin.inverseBindMatrices);
    std::vector<mat4> worlds = node_worlds(model, animation, key);
    std::vector<mat4> joint_matrices;
    for (size_t j = 0; j < skin.joints.size(); ++j) {
        mat4 inverse_bind;
        for (size_t k = 0; k < 16; ++k)
            inverse_bind[k] = inverse_binds[16 * j + k];
        joint_matrices.push_back(multiply(worlds[size_t(skin.joints[j])], inverse_bind));
    }
    std::vector<vec3> out;
    for (size_t v = 0; v * 3 < positions.size(); ++v) {
        vec3 rest{positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]};
        vec3 sum{0, 0, 0};
        for (size_t i = 0; i < 4; ++i) {
            double w = weights[4 * v + i];
            if (w == 0) continue;
            vec3 p = transform(joint_matrices.at(joints[4 * v + i]), rest);
            for (size_t c = 0; c < 3; ++c)
                sum[c] += w * p[c];
        }
        out.push_back(sum);
    }
    return out;
}

// For each glTF vertex, the mesh vertex (corner numbering: stored, then blend) it was made from:
// primitive i holds the triangles of the i-th material run that has any, corners 0, 2, 1.
inline std::vector<int> tkm_vertex_of(const tinygltf::Model &model, const tkm_mesh &mesh) {
    const tinygltf::Mesh &gltf_mesh = model.meshes.at(0);
    size_t count =
        model.accessors.at(size_t(gltf_mesh.primitives.at(0).attributes.at("POSITION"))).count;
    std::vector<int> source(count, -1);
    size_t primitive = 0;
    for (uint32_t r = 0; r < mesh.num_material_runs; ++r) {
        const material_run &run = mesh.material_runs[r];
        if (run.triangle_count == 0) continue;
        std::vector<uint32_t> indices =
            integers(model, gltf_mesh.primitives.at(primitive++).indices);
        EXPECT_EQ(indices.size(), 3u * run.triangle_count);
        for (uint32_t t = 0; t < run.triangle_count && 3 * t + 2 < indices.size(); ++t) {
            const uint16_t *corners = mesh.triangles[run.first_triangle + t].corners;
            const uint16_t order[3] = {corners[0], corners[2], corners[1]};
            for (int k = 0; k < 3; ++k) {
                int vertex = mesh.corners[order[k]].vertex;
                int &known = source.at(indices[3 * t + size_t(k)]);
                EXPECT_TRUE(known < 0 || known == vertex) << "a glTF vertex from two vertices";
                known = vertex;
            }
        }
    }
    EXPECT_EQ(primitive, gltf_mesh.primitives.size());
    return source;
}

} // namespace gltf_read_back
