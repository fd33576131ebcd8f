// glTF primitives as Milkshape vertices, triangles and groups. Vertices are put into the rest
// pose by their skin (or the node's transform) and bound to their heaviest joint; vertices that
// land on exactly the same place are joined, as the conversion would join them anyway, so that a
// file split at texture seams fits the 16-bit vertex count. Texture coordinates are taken as they
// are: the viewer negates v for OpenGL, whose images start at their bottom row, so a stored v
// already counts from the top of the picture, as glTF's does.
//
// Index: attributes | vertices | primitives | build_geometry
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>

#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

// ---- attributes

// A primitive's accessors, read and checked against its vertex count.
struct primitive_data {
    accessor_data positions, normals, texcoords, indices;
    std::vector<accessor_data> joints, weights; // one per JOINTS_n / WEIGHTS_n set
    bool has_normals = false, has_texcoords = false, has_indices = false;
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
    if (int code = read_attribute(model, primitive, "NORMAL", accessor_use::normal, vertices,
                                  &out->normals, &out->has_normals, why))
        return code;
    if (int code = read_attribute(model, primitive, format("TEXCOORD_%d", texcoord_set),
                                  accessor_use::texcoord, vertices, &out->texcoords,
                                  &out->has_texcoords, why))
        return code;
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

// ---- vertices

// Exact positions, compared bit for bit.
struct position_key {
    float p[3];
    bool operator==(const position_key &other) const {
        return std::memcmp(p, other.p, sizeof p) == 0;
    }
};
struct position_hash {
    size_t operator()(const position_key &key) const {
        return std::hash<std::string_view>{}(
            std::string_view(reinterpret_cast<const char *>(key.p), sizeof key.p));
    }
};

struct geometry_builder {
    const skeleton &bones;
    staged_model *staged;
    std::string *why;
    std::unordered_map<position_key, uint16_t, position_hash> vertex_at;

    // The rest-pose place, normal and bone of vertex i of the primitive.
    int place(const primitive_data &data, size_t number, size_t i, double *position, double *normal,
              int8_t *bone) {
        const double *v = data.positions.at(i);
        const double zero[3] = {0, 0, 0};
        const double *n = data.has_normals ? data.normals.at(i) : zero;
        if (!bones.skinned) {
            const auto p = transform_point(bones.mesh_world, v);
            const auto tip = transform_point(
                bones.mesh_world,
                (std::array<double, 3>{v[0] + n[0], v[1] + n[1], v[2] + n[2]}).data());
            for (size_t k = 0; k < 3; k++)
                position[k] = p[k], normal[k] = tip[k] - p[k];
            *bone = 0;
            return 0;
        }
        // Each joint's weight summed over the sets; the heaviest wins, ties the lower joint.
        std::vector<std::pair<size_t, double>> influences;
        for (size_t set = 0; set < data.joints.size(); set++)
            for (size_t c = 0; c < 4; c++) {
                const double weight = data.weights[set].at(i)[c];
                if (weight <= 0) continue;
                const size_t joint = size_t(data.joints[set].at(i)[c]);
                if (joint >= bones.joint_matrices.size()) {
                    *why = format("vertex %zu of primitive %zu names joint %zu; the skin has %zu",
                                  i, number, joint, bones.joint_matrices.size());
                    return gltf_bad_skin;
                }
                bool merged = false;
                for (auto &influence : influences)
                    if (influence.first == joint) influence.second += weight, merged = true;
                if (!merged) influences.emplace_back(joint, weight);
            }
        double total = 0;
        size_t heaviest = 0;
        for (size_t k = 0; k < influences.size(); k++) {
            total += influences[k].second;
            const auto &[joint, weight] = influences[k];
            const auto &best = influences[heaviest];
            if (weight > best.second || (weight == best.second && joint < best.first)) heaviest = k;
        }
        if (influences.empty() || !(total > 0)) {
            *why = format("vertex %zu of primitive %zu has no joint weight", i, number);
            return gltf_bad_skin;
        }
        for (size_t k = 0; k < 3; k++)
            position[k] = normal[k] = 0;
        for (const auto &[joint, weight] : influences) {
            const mat4d &m = bones.joint_matrices[joint];
            const auto p = transform_point(m, v);
            for (size_t k = 0; k < 3; k++) {
                position[k] += weight / total * p[k];
                normal[k] += weight * (m[k] * n[0] + m[4 + k] * n[1] + m[8 + k] * n[2]);
            }
        }
        *bone = int8_t(bones.bone_of_joint[influences[heaviest].first]);
        return 0;
    }

    // The Milkshape vertex for a place: an earlier one at exactly the same place, or a new one.
    int vertex_for(const double *position, int8_t bone, uint16_t *index) {
        ms3d_vertex vertex{};
        for (size_t k = 0; k < 3; k++)
            vertex.position[k] = float(position[k]);
        vertex.bone = bone;
        position_key key;
        std::memcpy(key.p, vertex.position, sizeof key.p);
        if (auto found = vertex_at.find(key); found != vertex_at.end()) {
            *index = found->second;
            return 0;
        }
        if (staged->vertices.size() >= gltf_most_vertices) {
            *why = format("the mesh has more than %u vertices, even with those at one place "
                          "joined; a mesh can hold at most %u",
                          gltf_most_vertices, gltf_most_vertices);
            return gltf_too_many_vertices;
        }
        *index = uint16_t(staged->vertices.size());
        vertex_at.emplace(key, *index);
        staged->vertices.push_back(vertex);
        return 0;
    }

    // ---- primitives

    int add(const primitive_data &data, size_t number, int8_t material) {
        const size_t vertices = data.positions.count;
        const size_t corners = data.has_indices ? data.indices.count : vertices;
        if (corners == 0) return 0;              // an empty group would only take up a group number
        std::vector<int32_t> made(vertices, -1); // primitive vertex -> Milkshape vertex
        std::vector<std::array<float, 3>> normals(vertices);
        staged_group group;
        group.name = format("primitive%zu", number);
        group.material = material;
        for (size_t first = 0; first < corners; first += 3) {
            ms3d_triangle triangle{};
            triangle.smoothing_group = 1;
            triangle.group_index = uint8_t(staged->groups.size());
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
                    double position[3], normal[3];
                    int8_t bone = 0;
                    uint16_t index = 0;
                    if (int code = place(data, number, i, position, normal, &bone)) return code;
                    if (int code = vertex_for(position, bone, &index)) return code;
                    made[i] = index;
                    const double length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] +
                                                    normal[2] * normal[2]);
                    for (size_t c = 0; c < 3; c++)
                        normals[i][c] = length > 0 ? float(normal[c] / length) : 0.0f;
                }
                triangle.vertex_indices[k] = uint16_t(made[i]);
                std::memcpy(triangle.normals[k], normals[i].data(), sizeof triangle.normals[k]);
                if (data.has_texcoords) {
                    triangle.s[k] = float(data.texcoords.at(i)[0]);
                    triangle.t[k] = float(data.texcoords.at(i)[1]);
                }
            }
            group.triangles.push_back(uint16_t(staged->triangles.size()));
            staged->triangles.push_back(triangle);
        }
        staged->groups.push_back(std::move(group));
        return 0;
    }
};

// The triangles the primitives will make, from their accessors' counts alone.
size_t triangles_declared(const tinygltf::Model &model,
                          const std::vector<const tinygltf::Primitive *> &primitives) {
    size_t total = 0;
    for (const tinygltf::Primitive *primitive : primitives) {
        int source = primitive->indices;
        if (source < 0) {
            const auto found = primitive->attributes.find("POSITION");
            source = found == primitive->attributes.end() ? -1 : found->second;
        }
        if (source >= 0 && size_t(source) < model.accessors.size())
            total += model.accessors[size_t(source)].count / 3;
    }
    return total;
}

} // namespace

// ---- build_geometry

int build_geometry(const tinygltf::Model &model,
                   const std::vector<const tinygltf::Primitive *> &primitives,
                   const material_choice &choice, const skeleton &bones, staged_model *staged,
                   std::string *why) {
    const size_t triangles = triangles_declared(model, primitives);
    if (triangles > gltf_most_triangles) {
        *why = format("the mesh has %zu triangles; a mesh can hold at most %u", triangles,
                      gltf_most_triangles);
        return gltf_too_many_triangles;
    }
    geometry_builder builder{bones, staged, why, {}};
    for (size_t p = 0; p < primitives.size(); p++) {
        primitive_data data;
        const size_t number = choice.number[p];
        if (int code = read_primitive(model, *primitives[p], number, choice.texcoord[p],
                                      bones.skinned, &data, why))
            return code;
        if (int code = builder.add(data, number, choice.slot[p])) return code;
    }
    return 0;
}

} // namespace gltf_import
