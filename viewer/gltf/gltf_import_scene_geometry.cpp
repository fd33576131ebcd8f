// SPDX-License-Identifier: MIT
// glTF primitives in the neutral model: vertices put into the rest pose by their skin (or the
// node's transform) with up to four joints each, triangles with their texture coordinates and
// hit-region colours, one group per primitive. Vertices equal in place and weights are joined,
// since a glTF file splits them at every texture seam. Texture coordinates are taken as they are:
// glTF's v counts from the top of the picture, as a TKM's does.
//
// Hit colours come from _HIT_COLOR (export-gltf's attribute) or else COLOR_0 (which survives
// Blender); export-gltf writes each 5-bit channel c as c × 8 / 255, which is undone here.
//
// Index: attributes | weights | vertices | primitives | read_scene_geometry
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

// Weights below this share of a vertex are dropped (a TKM weighs in 1/255 steps at best).
constexpr double least_weight = 1.0 / 255.0;

// ---- attributes

// A primitive's accessors, read and checked against its vertex count.
struct primitive_data {
    accessor_data positions, texcoords, colours, indices;
    std::vector<accessor_data> joints, weights; // one per JOINTS_n / WEIGHTS_n set
    bool has_texcoords = false, has_colours = false, has_indices = false;
};

int read_attribute(const tinygltf::Model &model, const tinygltf::Primitive &primitive,
                   const std::string &name, accessor_use use, size_t vertices, accessor_data *out,
                   bool *present, std::string *why) {
    const auto found = primitive.attributes.find(name);
    *present = found != primitive.attributes.end();
    if (!*present) return 0;
    if (int code = read_accessor(model, found->second, use, out, why)) return code;
    if (out->count < vertices) {
        *why = format("%s accessor %d has %zu elements for %zu vertices", name.c_str(),
                      found->second, out->count, vertices);
        return gltf_bad_accessor;
    }
    return 0;
}

int read_primitive(const tinygltf::Model &model, const tinygltf::Primitive &primitive,
                   size_t number, int texcoord_set, bool skinned, primitive_data *out,
                   std::string *why) {
    bool present = false;
    if (int code = read_attribute(model, primitive, "POSITION", accessor_use::position, 0,
                                  &out->positions, &present, why))
        return code;
    if (!present) {
        *why = format("primitive %zu has no POSITION attribute", number);
        return gltf_bad_document;
    }
    const size_t vertices = out->positions.count;
    if (int code = read_attribute(model, primitive, format("TEXCOORD_%d", texcoord_set),
                                  accessor_use::texcoord, vertices, &out->texcoords,
                                  &out->has_texcoords, why))
        return code;
    for (const char *name : {"_HIT_COLOR", "COLOR_0"}) {
        if (int code = read_attribute(model, primitive, name, accessor_use::colour, vertices,
                                      &out->colours, &out->has_colours, why))
            return code;
        if (out->has_colours) break;
    }
    for (int set = 0; skinned; set++) {
        accessor_data joints, weights;
        bool has_joints = false, has_weights = false;
        if (int code = read_attribute(model, primitive, format("JOINTS_%d", set),
                                      accessor_use::joints, vertices, &joints, &has_joints, why))
            return code;
        if (int code = read_attribute(model, primitive, format("WEIGHTS_%d", set),
                                      accessor_use::weights, vertices, &weights, &has_weights, why))
            return code;
        if (!has_joints || !has_weights) break;
        out->joints.push_back(std::move(joints));
        out->weights.push_back(std::move(weights));
    }
    if (skinned && out->joints.empty()) {
        *why = format("primitive %zu of the skinned mesh has no JOINTS_0 and WEIGHTS_0", number);
        return gltf_bad_skin;
    }
    out->has_indices = primitive.indices >= 0;
    if (out->has_indices) {
        if (int code =
                read_accessor(model, primitive.indices, accessor_use::indices, &out->indices, why))
            return code;
    }
    const size_t corners = out->has_indices ? out->indices.count : vertices;
    if (corners % 3) {
        *why = format("primitive %zu has %zu corners, which do not make whole triangles", number,
                      corners);
        return gltf_bad_index;
    }
    return 0;
}

// A 15-bit hit colour from a colour in 0..1 per channel.
uint16_t hit_colour(const double *rgb) {
    uint16_t out = 0;
    for (int c = 0; c < 3; c++) {
        const long bits = std::lround(std::clamp(rgb[c], 0.0, 1.0) * 255.0 / 8.0);
        out = uint16_t(out << 5 | std::min(bits, 31L));
    }
    return out;
}

// ---- weights

struct influence {
    size_t joint; // skin joint
    double weight;
};

// The vertex's joints summed over the sets, heaviest first (ties: the lower joint), the ones
// under the least weight dropped, at most four, summing to 1.
int influences_of(const primitive_data &data, size_t number, size_t i, size_t num_joints,
                  std::vector<influence> *out, std::string *why) {
    out->clear();
    for (size_t set = 0; set < data.joints.size(); set++)
        for (size_t c = 0; c < 4; c++) {
            const double weight = data.weights[set].at(i)[c];
            if (weight <= 0) continue;
            const size_t joint = size_t(data.joints[set].at(i)[c]);
            if (joint >= num_joints) {
                *why = format("vertex %zu of primitive %zu names joint %zu; the skin has %zu", i,
                              number, joint, num_joints);
                return gltf_bad_skin;
            }
            auto same = std::find_if(out->begin(), out->end(),
                                     [joint](const influence &e) { return e.joint == joint; });
            if (same != out->end())
                same->weight += weight;
            else
                out->push_back({joint, weight});
        }
    double total = 0;
    for (const influence &e : *out)
        total += e.weight;
    if (out->empty() || !(total > 0)) {
        *why = format("vertex %zu of primitive %zu has no joint weight", i, number);
        return gltf_bad_skin;
    }
    std::sort(out->begin(), out->end(), [](const influence &a, const influence &b) {
        return a.weight != b.weight ? a.weight > b.weight : a.joint < b.joint;
    });
    size_t kept = 1; // the heaviest always stays
    while (kept < out->size() && kept < 4 && (*out)[kept].weight / total >= least_weight)
        kept++;
    out->resize(kept);
    double sum = 0;
    for (const influence &e : *out)
        sum += e.weight;
    for (influence &e : *out)
        e.weight /= sum;
    return 0;
}

// ---- vertices

// A vertex as compared when joining: place and weights, bit for bit.
struct vertex_key {
    float position[3];
    uint32_t joints[4];
    float weights[4];
    bool operator==(const vertex_key &other) const {
        return std::memcmp(this, &other, sizeof *this) == 0;
    }
};
struct vertex_hash {
    size_t operator()(const vertex_key &key) const {
        return std::hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char *>(&key), sizeof key));
    }
};

struct geometry_builder {
    const scene_skeleton &skeleton;
    scene_model *scene;
    std::string *why;
    std::unordered_map<vertex_key, uint32_t, vertex_hash> vertex_at;
    std::vector<influence> influences;

    // The scene vertex for vertex i of the primitive, in the rest pose.
    int vertex_for(const primitive_data &data, size_t number, size_t i, uint32_t *index) {
        const double *v = data.positions.at(i);
        scene_vertex vertex;
        std::array<double, 3> p{};
        if (!skeleton.skinned) {
            p = transform_point(skeleton.mesh_world, v);
            vertex.num_weights = 1;
            vertex.weights[0] = {0, 1.0f};
        } else {
            if (int code = influences_of(data, number, i, skeleton.joint_matrices.size(),
                                         &influences, why))
                return code;
            vertex.num_weights = uint8_t(influences.size());
            for (size_t k = 0; k < influences.size(); k++) {
                const auto q = transform_point(skeleton.joint_matrices[influences[k].joint], v);
                for (size_t c = 0; c < 3; c++)
                    p[c] += influences[k].weight * q[c];
                vertex.weights[k] = {uint32_t(skeleton.bone_of_joint[influences[k].joint]),
                                     float(influences[k].weight)};
            }
        }
        for (size_t c = 0; c < 3; c++)
            vertex.position[c] = float(p[c]);
        vertex_key key{};
        std::memcpy(key.position, vertex.position, sizeof key.position);
        for (size_t k = 0; k < vertex.num_weights; k++)
            key.joints[k] = vertex.weights[k].joint, key.weights[k] = vertex.weights[k].weight;
        if (auto found = vertex_at.find(key); found != vertex_at.end()) {
            *index = found->second;
            return 0;
        }
        *index = uint32_t(scene->vertices.size());
        vertex_at.emplace(key, *index);
        scene->vertices.push_back(vertex);
        return 0;
    }

    // ---- primitives

    int add(const primitive_data &data, size_t number, int32_t material) {
        const size_t vertices = data.positions.count;
        const size_t corners = data.has_indices ? data.indices.count : vertices;
        if (corners == 0) return 0;              // an empty group would only take up a material run
        std::vector<int64_t> made(vertices, -1); // primitive vertex -> scene vertex
        scene_group group;
        group.name = format("primitive%zu", number);
        group.material = material;
        for (size_t first = 0; first < corners; first += 3) {
            scene_triangle triangle;
            for (size_t k = 0; k < 3; k++) {
                const double at =
                    data.has_indices ? data.indices.at(first + k)[0] : double(first + k);
                if (at >= double(vertices)) {
                    *why = format("index %zu of primitive %zu is %.0f, outside its %zu vertices",
                                  first + k, number, at, vertices);
                    return gltf_bad_index;
                }
                const size_t i = size_t(at);
                if (made[i] < 0) {
                    uint32_t index = 0;
                    if (int code = vertex_for(data, number, i, &index)) return code;
                    made[i] = index;
                }
                // glTF's front faces turn counter-clockwise, a TKM's clockwise.
                scene_corner &corner = triangle.corners[2 - k];
                corner.vertex = uint32_t(made[i]);
                if (data.has_texcoords) {
                    corner.uv[0] = float(data.texcoords.at(i)[0]);
                    corner.uv[1] = float(data.texcoords.at(i)[1]);
                }
                if (data.has_colours) corner.hit_color = hit_colour(data.colours.at(i));
            }
            group.triangles.push_back(uint32_t(scene->triangles.size()));
            scene->triangles.push_back(triangle);
        }
        scene->has_hit_colors = scene->has_hit_colors || data.has_colours;
        scene->groups.push_back(std::move(group));
        return 0;
    }
};

} // namespace

// ---- read_scene_geometry

int read_scene_geometry(const tinygltf::Model &model,
                        const std::vector<const tinygltf::Primitive *> &primitives,
                        const scene_material_choice &choice, const scene_skeleton &skeleton,
                        scene_model *scene, std::string *why) {
    geometry_builder builder{skeleton, scene, why, {}, {}};
    for (size_t p = 0; p < primitives.size(); p++) {
        primitive_data data;
        const size_t number = choice.number[p];
        if (int code = read_primitive(model, *primitives[p], number, choice.texcoord[p],
                                      skeleton.skinned, &data, why))
            return code;
        if (int code = builder.add(data, number, choice.slot[p])) return code;
    }
    return 0;
}

} // namespace gltf_import
