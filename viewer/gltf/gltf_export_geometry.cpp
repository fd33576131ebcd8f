// SPDX-License-Identifier: MIT
// The mesh of the glTF export: rest positions, skin weights, and one primitive per material run.
//
// Index: rest positions and weights (prepare_vertices) - corners into glTF vertices -
//        attribute accessors - the mesh and its node (export_geometry)
//
// Every triangle gets its own flat normal, so a corner becomes one glTF vertex per distinct
// (vertex, texture coordinate, hit colour, normal); the attribute accessors are shared by all
// primitives. The viewer's front faces wind clockwise and glTF's counter-clockwise: corners go
// out in the order 0, 2, 1, and the normal is the viewer's flat normal turned to that front.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "viewer/gltf/gltf_export_internal.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"

namespace {

// ---- rest positions and weights

// A blend vertex's joints: its components' weights summed per bone, the four heaviest kept and
// renormalised. Exact when the skin follows it in every pose: weights not negative and summing to
// 1, at most four bones, and on each bone the weighted centre of its components at the blend's
// rest position (then each bone carries its share rigidly, as the viewer's sum does).
vertex_skin blend_skin(const gltf_export_state &state, const blend_vertex &blend,
                       const std::array<float, 3> &position) {
    const tkm_mesh &mesh = state.mesh;
    struct group {
        uint16_t bone;
        double weight = 0;
        double centre[3] = {0, 0, 0};
    };
    std::vector<group> groups;
    bool negative = false;
    double total = 0;
    for (uint16_t i = 0; i < blend.count; ++i) {
        uint16_t stored = blend.vertices[i];
        if (stored >= mesh.num_vertices) continue;
        uint16_t bone =
            mesh.vertices[stored].bone < mesh.num_bones ? mesh.vertices[stored].bone : 0;
        double weight = blend.weights[i];
        negative = negative || weight < 0;
        total += weight;
        auto found = std::find_if(groups.begin(), groups.end(),
                                  [&](const group &g) { return g.bone == bone; });
        if (found == groups.end()) found = groups.insert(groups.end(), group{bone});
        found->weight += weight;
        for (int c = 0; c < 3; ++c)
            found->centre[c] += weight * state.rest_positions[stored][c];
    }
    vertex_skin skin;
    double reach =
        1.0 + std::max({std::fabs(position[0]), std::fabs(position[1]), std::fabs(position[2])});
    skin.exact =
        !negative && !groups.empty() && groups.size() <= 4 && std::fabs(total - 1.0) <= 1e-6;
    for (const group &g : groups) {
        if (!skin.exact || g.weight <= 0) continue;
        for (int c = 0; c < 3; ++c)
            if (std::fabs(g.centre[c] / g.weight - position[c]) > 1e-5 * reach) skin.exact = false;
    }
    std::stable_sort(groups.begin(), groups.end(),
                     [](const group &a, const group &b) { return a.weight > b.weight; });
    if (groups.size() > 4) groups.resize(4);
    double kept = 0;
    for (const group &g : groups)
        kept += std::max(g.weight, 0.0);
    if (!(kept > 0) || !std::isfinite(kept)) {
        // Nothing to weigh by: the first component's bone carries the vertex alone.
        skin.joints = {groups.empty() ? uint16_t{0} : groups[0].bone, 0, 0, 0};
        skin.weights = {1, 0, 0, 0};
        return skin;
    }
    float sum = 0;
    size_t last = 0;
    skin.weights = {0, 0, 0, 0};
    for (size_t i = 0; i < groups.size(); ++i) {
        double weight = std::max(groups[i].weight, 0.0) / kept;
        if (weight <= 0) continue;
        skin.joints[last] = groups[i].bone;
        skin.weights[last] = static_cast<float>(weight);
        sum += skin.weights[last];
        ++last;
    }
    // The sum must come out as 1 in float, as readers check it: the last weight takes the rest.
    skin.weights[last - 1] += 1.0f - sum;
    return skin;
}

// ---- corners into glTF vertices

struct corner_key {
    uint16_t vertex, texcoord, hit;
    uint32_t normal[3];
    uint32_t own = 0; // not 0: the corner's own glTF vertex, shared with no other corner
    bool operator==(const corner_key &other) const {
        return vertex == other.vertex && texcoord == other.texcoord && hit == other.hit &&
               std::memcmp(normal, other.normal, sizeof normal) == 0 && own == other.own;
    }
};

struct corner_hash {
    size_t operator()(const corner_key &key) const {
        uint64_t h = key.vertex | uint64_t{key.texcoord} << 16 | uint64_t{key.hit} << 32;
        h ^= uint64_t{key.own} << 48 | key.own >> 16;
        for (uint32_t n : key.normal)
            h = (h ^ n) * 0x100000001B3ull;
        return static_cast<size_t>(h ^ (h >> 29));
    }
};

struct gltf_vertices {
    std::vector<corner_key> keys;
    std::unordered_map<corner_key, uint32_t, corner_hash> index;

    uint32_t add(const corner_key &key) {
        auto [at, inserted] = index.try_emplace(key, static_cast<uint32_t>(keys.size()));
        if (inserted) keys.push_back(key);
        return at->second;
    }
};

// The viewer's flat normal of the triangle, turned to glTF's front; a zero-area triangle has
// none, and gets the z axis so that the normal stays a unit vector.
std::array<float, 3> front_normal(const float *p0, const float *p1, const float *p2) {
    float n[3];
    triangle_normal(n, p0, p1, p2);
    double length = std::sqrt(double{n[0]} * n[0] + double{n[1]} * n[1] + double{n[2]} * n[2]);
    if (!std::isfinite(length) || length < 0.5) return {0, 0, 1};
    return {static_cast<float>(-n[0] / length), static_cast<float>(-n[1] / length),
            static_cast<float>(-n[2] / length)};
}

// ---- attribute accessors

template <typename T>
int add_attribute(gltf_export_state &state, const std::vector<T> &values, int component_type,
                  int type, size_t count) {
    int view = add_buffer_view(state, values.data(), values.size() * sizeof(T),
                               TINYGLTF_TARGET_ARRAY_BUFFER);
    return add_accessor(state, view, 0, component_type, type, count);
}

int add_positions(gltf_export_state &state, const gltf_vertices &vertices) {
    std::vector<float> values;
    values.reserve(vertices.keys.size() * 3);
    std::vector<double> lo(3, HUGE_VAL), hi(3, -HUGE_VAL);
    for (const corner_key &key : vertices.keys)
        for (int c = 0; c < 3; ++c) {
            float v = state.rest_positions[key.vertex][c];
            values.push_back(v);
            lo[c] = std::min(lo[c], double{v});
            hi[c] = std::max(hi[c], double{v});
        }
    int view = add_buffer_view(state, values.data(), values.size() * sizeof(float),
                               TINYGLTF_TARGET_ARRAY_BUFFER);
    return add_accessor(state, view, 0, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3,
                        vertices.keys.size(), lo, hi);
}

void add_attributes(gltf_export_state &state, const gltf_vertices &vertices,
                    std::map<std::string, int> *attributes) {
    const tkm_mesh &mesh = state.mesh;
    size_t count = vertices.keys.size();
    std::vector<float> normals, texcoords, hits, weights;
    for (const corner_key &key : vertices.keys) {
        for (uint32_t bits : key.normal) {
            float n;
            std::memcpy(&n, &bits, sizeof n);
            normals.push_back(n);
        }
        texcoords.push_back(mesh.texcoords[key.texcoord].u);
        texcoords.push_back(mesh.texcoords[key.texcoord].v);
        for (int shift : {10, 5, 0})
            hits.push_back(static_cast<float>(((key.hit >> shift) & 31) * 8) / 255.0f);
    }
    (*attributes)["POSITION"] = add_positions(state, vertices);
    (*attributes)["NORMAL"] =
        add_attribute(state, normals, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, count);
    (*attributes)["TEXCOORD_0"] =
        add_attribute(state, texcoords, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC2, count);
    (*attributes)[state.options.hit_colors_as_vertex_colors ? "COLOR_0" : "_HIT_COLOR"] =
        add_attribute(state, hits, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC3, count);
    if (state.skins.empty()) return;
    std::vector<uint8_t> small_joints;
    std::vector<uint16_t> joints;
    for (const corner_key &key : vertices.keys) {
        const vertex_skin &skin = state.skins[key.vertex];
        for (int i = 0; i < 4; ++i) {
            small_joints.push_back(static_cast<uint8_t>(skin.joints[i]));
            joints.push_back(skin.joints[i]);
            weights.push_back(skin.weights[i]);
        }
    }
    (*attributes)["JOINTS_0"] =
        mesh.num_bones <= 256
            ? add_attribute(state, small_joints, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE,
                            TINYGLTF_TYPE_VEC4, count)
            : add_attribute(state, joints, TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT,
                            TINYGLTF_TYPE_VEC4, count);
    (*attributes)["WEIGHTS_0"] =
        add_attribute(state, weights, TINYGLTF_COMPONENT_TYPE_FLOAT, TINYGLTF_TYPE_VEC4, count);
}

// The indices of all primitives in one buffer view, 16-bit while they fit (65535 itself is the
// primitive restart value and stays out); one accessor per primitive.
std::vector<int> add_indices(gltf_export_state &state,
                             const std::vector<std::vector<uint32_t>> &primitives,
                             size_t num_vertices) {
    bool small = num_vertices < 65535;
    std::vector<uint8_t> bytes;
    std::vector<size_t> offsets;
    for (const std::vector<uint32_t> &indices : primitives) {
        offsets.push_back(bytes.size());
        for (uint32_t index : indices) {
            if (small) {
                uint16_t value = static_cast<uint16_t>(index);
                bytes.insert(bytes.end(), reinterpret_cast<uint8_t *>(&value),
                             reinterpret_cast<uint8_t *>(&value) + 2);
            } else {
                bytes.insert(bytes.end(), reinterpret_cast<uint8_t *>(&index),
                             reinterpret_cast<uint8_t *>(&index) + 4);
            }
        }
    }
    int view =
        add_buffer_view(state, bytes.data(), bytes.size(), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    std::vector<int> accessors;
    for (size_t i = 0; i < primitives.size(); ++i)
        accessors.push_back(add_accessor(state, view, offsets[i],
                                         small ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT
                                               : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                                         TINYGLTF_TYPE_SCALAR, primitives[i].size()));
    return accessors;
}

} // namespace

int32_t prepare_vertices(gltf_export_state &state) {
    const tkm_mesh &mesh = state.mesh;
    state.rest_positions.resize(size_t{mesh.num_vertices} + mesh.num_blends);
    for (uint32_t v = 0; v < mesh.num_vertices; ++v) {
        const tkm_vertex &vertex = mesh.vertices[v];
        float world[16];
        // As posing in the rest pose places it; a mesh without bones keeps the vertex as stored.
        if (vertex.bone < mesh.num_bones)
            mat4_multiply(world, mesh.bones[vertex.bone].world, vertex.local);
        else
            std::memcpy(world, vertex.local, sizeof world);
        std::copy(world + 12, world + 15, state.rest_positions[v].begin());
        if (!check_finite(state, state.rest_positions[v].data(), 3, "the rest position of vertex",
                          v))
            return gltf_export_bad_number;
    }
    for (uint32_t b = 0; b < mesh.num_blends; ++b) {
        const blend_vertex &blend = mesh.blends[b];
        std::array<float, 3> &out = state.rest_positions[mesh.num_vertices + b];
        out = {0, 0, 0};
        for (uint16_t i = 0; i < blend.count; ++i) {
            if (blend.vertices[i] >= mesh.num_vertices) continue;
            for (int c = 0; c < 3; ++c)
                out[c] += blend.weights[i] * state.rest_positions[blend.vertices[i]][c];
        }
        if (!check_finite(state, out.data(), 3, "the rest position of blend vertex", b))
            return gltf_export_bad_number;
    }
    if (mesh.num_bones == 0) return gltf_export_ok;
    state.skins.resize(state.rest_positions.size());
    for (uint32_t v = 0; v < mesh.num_vertices; ++v)
        state.skins[v].joints[0] =
            mesh.vertices[v].bone < mesh.num_bones ? mesh.vertices[v].bone : 0;
    for (uint32_t b = 0; b < mesh.num_blends; ++b) {
        uint32_t index = mesh.num_vertices + b;
        state.skins[index] = blend_skin(state, mesh.blends[b], state.rest_positions[index]);
        if (!state.skins[index].exact) ++state.report.unmatched_blends;
    }
    return gltf_export_ok;
}

int32_t export_geometry(gltf_export_state &state) {
    const tkm_mesh &mesh = state.mesh;
    gltf_vertices vertices;
    std::vector<std::vector<uint32_t>> primitives;
    std::vector<int> materials;
    for (uint32_t r = 0; r < mesh.num_material_runs; ++r) {
        const material_run &run = mesh.material_runs[r];
        if (run.material >= mesh.num_materials) continue;
        std::vector<uint32_t> indices;
        uint32_t end = std::min<uint32_t>(uint32_t{run.first_triangle} + run.triangle_count,
                                          mesh.num_triangles);
        for (uint32_t t = run.first_triangle; t < end; ++t) {
            const uint16_t *c = mesh.triangles[t].corners;
            if (c[0] >= mesh.num_corners || c[1] >= mesh.num_corners || c[2] >= mesh.num_corners)
                continue;
            const tkm_corner *corners[3] = {&mesh.corners[c[0]], &mesh.corners[c[1]],
                                            &mesh.corners[c[2]]};
            // The readers refuse such corners; a mesh built otherwise loses the triangle only.
            if (std::any_of(corners, corners + 3, [&](const tkm_corner *corner) {
                    return corner->vertex >= state.rest_positions.size() ||
                           corner->texcoord >= mesh.num_texcoords;
                }))
                continue;
            std::array<float, 3> normal =
                front_normal(state.rest_positions[corners[0]->vertex].data(),
                             state.rest_positions[corners[1]->vertex].data(),
                             state.rest_positions[corners[2]->vertex].data());
            for (int k : {0, 2, 1}) {
                const tkm_corner &corner = *corners[k];
                const tkm_texcoord &uv = mesh.texcoords[corner.texcoord];
                const float pair[2] = {uv.u, uv.v};
                if (!check_finite(state, pair, 2, "texture coordinate", corner.texcoord))
                    return gltf_export_bad_number;
                corner_key key{corner.vertex,
                               corner.texcoord,
                               static_cast<uint16_t>(corner.aux2 & 0x7FFF),
                               {},
                               0};
                // Blender 3.4's exporter looks corner colours up by vertex, not by corner: with
                // no vertex shared, each corner's colour comes back where it was.
                if (state.options.hit_colors_as_vertex_colors)
                    key.own = static_cast<uint32_t>(vertices.keys.size() + 1);
                std::memcpy(key.normal, normal.data(), sizeof key.normal);
                indices.push_back(vertices.add(key));
            }
        }
        if (indices.empty()) continue;
        primitives.push_back(std::move(indices));
        materials.push_back(run.material);
    }
    if (primitives.empty()) return gltf_export_ok; // a mesh needs at least one primitive

    std::map<std::string, int> attributes;
    add_attributes(state, vertices, &attributes);
    std::vector<int> index_accessors = add_indices(state, primitives, vertices.keys.size());
    tinygltf::Mesh gltf_mesh;
    gltf_mesh.name = utf8_name(mesh.name);
    for (size_t i = 0; i < primitives.size(); ++i) {
        tinygltf::Primitive primitive;
        primitive.attributes = attributes;
        primitive.indices = index_accessors[i];
        primitive.material = materials[i];
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        gltf_mesh.primitives.push_back(std::move(primitive));
    }
    state.model.meshes.push_back(std::move(gltf_mesh));
    tinygltf::Node node;
    node.name = utf8_name(mesh.name);
    node.mesh = static_cast<int>(state.model.meshes.size() - 1);
    if (!state.skins.empty()) node.skin = 0;
    state.model.nodes.push_back(std::move(node));
    // A skinned mesh is placed by its joints alone: its node stays a root of the scene.
    state.model.scenes[0].nodes.push_back(static_cast<int>(state.model.nodes.size() - 1));
    return gltf_export_ok;
}
