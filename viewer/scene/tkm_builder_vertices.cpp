// SPDX-License-Identifier: MIT
// The vertex step of the TKM builder: joint checks, weights and the merge of coincident vertices
// (the step before the build, the only one that changes the scene), then sorting by bone, the
// corners' new vertex numbers, bone runs, stored and blend vertices.
//
// Sections: checks, weights, merging, stored vertices and renumbering, runs,
// merge_scene_vertices and assign_vertices.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"
#include "viewer/scene/point_merge.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"

namespace {

// ---- checks

// How many unbound vertices a refusal lists, to show where they are without flooding the screen.
constexpr size_t most_unbound_listed = 5;

const char *plural(size_t count) {
    return count == 1 ? "" : "s";
}

// What the user has to change: which vertices have no joint, where they are and how much of the
// model hangs on them, and the option that binds them.
void explain_unbound(const scene_model *scene, size_t num_unbound, const char *source) {
    std::vector<uint32_t> listed;
    for (uint32_t i = 0; i < scene->vertices.size() && listed.size() < most_unbound_listed; i++)
        if (scene->vertices[i].num_weights == 0) listed.push_back(i);
    std::vector<size_t> uses(listed.size(), 0);
    for (const scene_triangle &triangle : scene->triangles)
        for (size_t k = 0; k < listed.size(); k++)
            if (std::any_of(std::begin(triangle.corners), std::end(triangle.corners),
                            [&](const scene_corner &c) { return c.vertex == listed[k]; }))
                uses[k]++;
    real_meow("%zu of %zu vertices %s no bone:\n", num_unbound, scene->vertices.size(),
              num_unbound == 1 ? "has" : "have");
    for (size_t k = 0; k < listed.size(); k++) {
        const float *p = scene->vertices[listed[k]].position;
        real_meow("  vertex %u at (%g, %g, %g), used by %zu triangle%s\n", unsigned{listed[k]},
                  double{p[0]}, double{p[1]}, double{p[2]}, uses[k], plural(uses[k]));
    }
    if (num_unbound > listed.size()) real_meow("  and %zu more\n", num_unbound - listed.size());
    real_meow("Give them a bone in %s, or convert with 'tkmtool convert --bind-unbound nearest', "
              "which binds each to its nearest joint.\n",
              source);
}

// Every vertex needs a joint; a model without any gets them all on the root, when it has one.
int check_joint_assignment(scene_model *scene, const char *source) {
    size_t assigned = 0;
    for (const scene_vertex &vertex : scene->vertices)
        if (vertex.num_weights > 0) assigned++;
    if (assigned == scene->vertices.size()) return 0;
    if (assigned != 0) {
        real_meow("Not all vertices are assigned to a bone.  Can't use this model!\n");
        explain_unbound(scene, scene->vertices.size() - assigned, source);
        return 1;
    }
    real_meow("%s model has no vertices assigned to bones.\n", source);
    if (scene->joints.empty()) {
        real_meow("Can't use this model!\n");
        real_meow("The model has no joints: converting with 'tkmtool convert --bind-unbound "
                  "nearest' gives it a root joint at the origin that carries every vertex.\n");
        return 1;
    }
    real_meow("Assuming all vertices assigned to root.\n");
    for (scene_vertex &vertex : scene->vertices) {
        vertex.num_weights = 1;
        vertex.weights[0] = {0, 1.0f};
    }
    return 0;
}

// The build's own check: the merge step has given every vertex a joint when the source gave none.
int check_all_assigned(const scene_model *scene) {
    for (const scene_vertex &vertex : scene->vertices)
        if (vertex.num_weights == 0) {
            real_meow("Not all vertices are assigned to a bone.  Can't use this model!\n");
            return 1;
        }
    return 0;
}

// Corners are renumbered through the groups' lists, so every listed triangle must exist.
int check_group_triangles(const scene_model *scene) {
    for (const scene_group &group : scene->groups)
        for (uint32_t t : group.triangles)
            if (t >= scene->triangles.size()) {
                real_meow("Group '%s' lists triangle %u, but the model has only %zu triangles.  "
                          "Can't use this model!\n",
                          group.name.c_str(), unsigned{t}, scene->triangles.size());
                return 1;
            }
    return 0;
}

// ---- weights

// A share under 1/255 moves a vertex by less than a byte-sized weight can say: it is dropped, the
// rest renormalised to sum 1, heaviest first. A vertex left with one joint is an ordinary one.
void settle_weights(scene_vertex &vertex) {
    if (vertex.num_weights > 4) vertex.num_weights = 4;
    if (vertex.num_weights < 2) return;
    // Shares of one joint named twice are one share.
    scene_weight joined[4];
    uint8_t num_joined = 0;
    for (uint8_t k = 0; k < vertex.num_weights; k++) {
        uint8_t j = 0;
        while (j < num_joined && joined[j].joint != vertex.weights[k].joint)
            j++;
        if (j == num_joined) joined[num_joined++] = {vertex.weights[k].joint, 0.0f};
        joined[j].weight += vertex.weights[k].weight;
    }
    scene_weight kept[4];
    uint8_t count = 0;
    float sum = 0;
    for (uint8_t k = 0; k < num_joined; k++)
        if (joined[k].weight >= 1.0f / 255.0f) {
            kept[count++] = joined[k];
            sum += joined[k].weight;
        }
    if (count == 0) { // nothing heavy enough: the heaviest alone
        kept[count++] = vertex.weights[0];
        sum = vertex.weights[0].weight;
    }
    std::stable_sort(kept, kept + count, [](const scene_weight &a, const scene_weight &b) {
        return a.weight > b.weight;
    });
    for (uint8_t k = 0; k < count; k++) {
        vertex.weights[k] = kept[k];
        vertex.weights[k].weight = count == 1 ? 1.0f : kept[k].weight / sum;
    }
    vertex.num_weights = count;
}

int check_weights(const scene_model *scene) {
    for (size_t i = 0; i < scene->vertices.size(); i++) {
        const scene_vertex &vertex = scene->vertices[i];
        // A vertex on one joint is checked with the runs, where the joint becomes a bone.
        const uint8_t count = std::min<uint8_t>(vertex.num_weights, 4);
        for (uint8_t k = 0; count > 1 && k < count; k++)
            if (vertex.weights[k].joint >= scene->joints.size()) {
                real_meow("Vertex %zu is weighted to joint %u, but the model has only %zu joints.  "
                          "Can't use this model!\n",
                          i, unsigned{vertex.weights[k].joint}, scene->joints.size());
                return 1;
            }
    }
    return 0;
}

// ---- merging

bool is_blended(const scene_vertex &vertex) {
    return vertex.num_weights > 1;
}

// Vertices with one joint (or none) merge by place alone, whatever their joints; blended ones only
// with blended ones of exactly the same joints and weights.
std::vector<uint32_t> merge_classes(const scene_model *scene) {
    std::map<std::vector<uint32_t>, uint32_t> classes;
    std::vector<uint32_t> result(scene->vertices.size(), 0);
    for (size_t i = 0; i < scene->vertices.size(); i++) {
        const scene_vertex &vertex = scene->vertices[i];
        if (!is_blended(vertex)) continue;
        std::vector<uint32_t> key;
        for (uint8_t k = 0; k < vertex.num_weights; k++) {
            uint32_t bits;
            std::memcpy(&bits, &vertex.weights[k].weight, sizeof bits);
            key.push_back(vertex.weights[k].joint);
            key.push_back(bits);
        }
        result[i] = classes.emplace(key, uint32_t(classes.size() + 1)).first->second;
    }
    return result;
}

void merge_by_scan(scene_model *scene) {
    const std::vector<uint32_t> classes = merge_classes(scene);
    std::vector<uint32_t> kind = classes;
    uint32_t i = 0;
    while (i < scene->vertices.size()) {
        bool merged = false;
        for (uint32_t j = 0; j < i; j++)
            if (kind[i] == kind[j] &&
                vec3_nearly_equal(scene->vertices[i].position, scene->vertices[j].position)) {
                merge_vertex(scene, i, j);
                kind.erase(kind.begin() + i);
                merged = true;
                break;
            }
        if (!merged) i++;
    }
}

// The same result from the grid, with the vertex array and the corners rebuilt once.
void merge_by_grid(scene_model *scene) {
    const uint32_t count = static_cast<uint32_t>(scene->vertices.size());
    std::vector<float> positions(3u * count);
    for (uint32_t i = 0; i < count; i++)
        std::memcpy(&positions[3u * i], scene->vertices[i].position, 3 * sizeof(float));
    const std::vector<uint32_t> classes = merge_classes(scene);
    const point_merge merge = merge_nearly_equal_points(positions.data(), count, classes.data());
    if (merge.num_kept == count) return;
    std::vector<scene_vertex> kept;
    kept.reserve(merge.num_kept);
    for (uint32_t i = 0; i < count; i++)
        if (merge.new_index[i] == kept.size()) kept.push_back(scene->vertices[i]);
    scene->vertices = std::move(kept);
    // Indices past the old end move down once per merged vertex, as the one-by-one merge does.
    const uint32_t removed = count - merge.num_kept;
    for (scene_triangle &triangle : scene->triangles)
        for (scene_corner &corner : triangle.corners)
            corner.vertex =
                corner.vertex < count ? merge.new_index[corner.vertex] : corner.vertex - removed;
}

// ---- stored vertices and renumbering

// One stored vertex: a scene vertex's position on one joint.
struct stored_record {
    uint32_t vertex; // index into the scene's vertices
    int64_t bone;    // the joint as the source named it (checked when the runs are built)
};

// Stored vertices in bone order: first one per vertex with at most one joint, then one per joint
// of each blended vertex; stable, so that vertices of one bone keep their order.
std::vector<stored_record> stored_vertices_by_bone(const scene_model *scene) {
    std::vector<stored_record> records;
    records.reserve(scene->vertices.size());
    for (uint32_t i = 0; i < scene->vertices.size(); i++)
        if (!is_blended(scene->vertices[i]))
            records.push_back({i, scene->vertices[i].weights[0].joint});
    for (uint32_t i = 0; i < scene->vertices.size(); i++)
        if (is_blended(scene->vertices[i]))
            for (uint8_t k = 0; k < scene->vertices[i].num_weights; k++)
                records.push_back({i, scene->vertices[i].weights[k].joint});
    std::stable_sort(
        records.begin(), records.end(),
        [](const stored_record &a, const stored_record &b) { return a.bone < b.bone; });
    return records;
}

// The TKM vertex index of every scene vertex: its stored vertex, or num_stored + its blend.
std::vector<uint32_t> tkm_vertex_indices(const scene_model *scene,
                                         const std::vector<stored_record> &records) {
    std::vector<uint32_t> index(scene->vertices.size());
    for (uint32_t p = 0; p < records.size(); p++)
        if (!is_blended(scene->vertices[records[p].vertex])) index[records[p].vertex] = p;
    uint32_t blend = 0;
    for (uint32_t i = 0; i < scene->vertices.size(); i++)
        if (is_blended(scene->vertices[i])) index[i] = uint32_t(records.size()) + blend++;
    return index;
}

// Every corner of a listed triangle names a vertex of the scene.
int check_corners(const scene_model *scene) {
    const size_t num_groups = scene->groups.size();
    for (size_t g = 0; g < num_groups; g++) {
        const scene_group &group = scene->groups[g];
        for (size_t k = 0; k < group.triangles.size(); k++) {
            const uint32_t t = group.triangles[k];
            for (int corner = 0; corner < 3; corner++) {
                const uint32_t vertex = scene->triangles[t].corners[2 - corner].vertex;
                if (vertex >= scene->vertices.size()) {
                    real_meow("PANIC: g%zu/%zu t%zu/%zu v%d: %u > %zu\n", g, num_groups, k,
                              group.triangles.size(), corner, unsigned{vertex},
                              scene->vertices.size());
                    return 1;
                }
            }
        }
    }
    return 0;
}

// ---- runs

void place_on_bone(tkm_vertex &vertex, const scene_vertex &source, const tkm_bone &bone) {
    mat4_identity(vertex.world);
    std::memcpy(&vertex.world[12], source.position, 3 * sizeof(float));
    float to_bone[16];
    mat4_rigid_inverse(to_bone, bone.world);
    mat4_multiply(vertex.local, to_bone, vertex.world);
}

int build_stored_vertices(tkm_mesh *mesh, const scene_model *scene,
                          const std::vector<stored_record> &records) {
    mesh->vertices = alloc_elements<tkm_vertex>(uint32_t(records.size()));
    mesh->runs = alloc_elements<bone_run>(mesh->num_bones);
    if (!mesh->vertices || !mesh->runs) return 1;
    mesh->num_vertices = static_cast<uint16_t>(records.size());
    mesh->num_runs = mesh->num_bones;
    mesh->declared_run_count = 0;
    int64_t current_bone = -1;
    int run = -1;
    for (uint16_t p = 0; p < mesh->num_vertices; p++) {
        const int64_t bone = records[p].bone;
        if (bone != current_bone) {
            current_bone = bone;
            run++;
            if (run >= mesh->num_runs) {
                real_meow("PANIC: Assignment ID out of range!\n");
                return 2;
            }
            if (bone >= mesh->num_bones) {
                real_meow("Vertex %u is assigned to bone %u, but the model has only %u bones.  "
                          "Can't use this model!\n",
                          unsigned{p}, unsigned(bone), unsigned{mesh->num_bones});
                return 1;
            }
            mesh->runs[run] = {static_cast<uint16_t>(bone), p, 0};
        }
        mesh->runs[run].vertex_count++;
        tkm_vertex &vertex = mesh->vertices[p];
        vertex.bone = static_cast<uint16_t>(bone);
        place_on_bone(vertex, scene->vertices[records[p].vertex], mesh->bones[bone]);
    }
    const uint16_t used = static_cast<uint16_t>(run + 1);
    if (used < mesh->num_runs) {
        bone_run *runs = alloc_elements<bone_run>(used);
        if (!runs) return 1;
        std::memcpy(runs, mesh->runs, used * sizeof(bone_run));
        cleanup_one(mesh->runs);
        mesh->runs = runs;
        mesh->num_runs = used;
    }
    return 0;
}

// One blend vertex per blended scene vertex, over its stored vertices in the order of its weights.
int build_blend_vertices(tkm_mesh *mesh, const scene_model *scene,
                         const std::vector<stored_record> &records, uint32_t num_blends) {
    if (num_blends == 0) return 0;
    mesh->blends = alloc_elements<blend_vertex>(num_blends);
    if (!mesh->blends) return 1;
    mesh->num_blends = static_cast<uint16_t>(num_blends);
    // Where each blended vertex's stored vertex on each joint went.
    std::map<std::pair<uint32_t, int64_t>, uint16_t> stored;
    for (uint32_t p = 0; p < records.size(); p++)
        if (is_blended(scene->vertices[records[p].vertex]))
            stored[{records[p].vertex, records[p].bone}] = static_cast<uint16_t>(p);
    uint32_t b = 0;
    for (uint32_t i = 0; i < scene->vertices.size(); i++) {
        const scene_vertex &source = scene->vertices[i];
        if (!is_blended(source)) continue;
        blend_vertex &blend = mesh->blends[b++];
        blend.vertices = alloc_elements<uint16_t>(source.num_weights);
        blend.weights = alloc_elements<float>(source.num_weights);
        if (!blend.vertices || !blend.weights) return 1;
        blend.count = source.num_weights;
        for (uint8_t k = 0; k < source.num_weights; k++) {
            blend.vertices[k] = stored[{i, source.weights[k].joint}];
            blend.weights[k] = source.weights[k].weight;
        }
    }
    return 0;
}

} // namespace

// ---- merge_scene_vertices and assign_vertices

void merge_vertex(scene_model *scene, uint32_t drop, uint32_t keep) {
    // Every triangle once, listed by a group or not, so that none is moved twice.
    for (scene_triangle &triangle : scene->triangles)
        for (scene_corner &corner : triangle.corners) {
            if (corner.vertex == drop)
                corner.vertex = keep;
            else if (corner.vertex > drop)
                corner.vertex--;
        }
    scene->vertices.erase(scene->vertices.begin() + drop);
}

int merge_scene_vertices(scene_model *scene, merge_method method, const char *source) {
    if (scene->vertices.empty()) return 0;
    if (check_joint_assignment(scene, source)) return 1;
    if (check_group_triangles(scene)) return 1;
    if (check_weights(scene)) return 1;
    for (scene_vertex &vertex : scene->vertices)
        settle_weights(vertex);
    if (method == merge_method::scan)
        merge_by_scan(scene);
    else
        merge_by_grid(scene);
    return 0;
}

int assign_vertices(tkm_mesh *mesh, const scene_model *scene, std::vector<uint32_t> *tkm_index) {
    tkm_index->clear();
    if (scene->vertices.empty()) return 0;
    if (check_all_assigned(scene)) return 1;
    if (check_group_triangles(scene)) return 1;
    if (check_weights(scene)) return 1;
    const std::vector<stored_record> records = stored_vertices_by_bone(scene);
    const uint32_t num_blends = static_cast<uint32_t>(
        std::count_if(scene->vertices.begin(), scene->vertices.end(), is_blended));
    if (records.size() + num_blends > tkm_most_elements) {
        real_meow("The model needs %zu stored and %u blend vertices, more than the %u a TKM can "
                  "hold.  Can't use this model!\n",
                  records.size(), unsigned{num_blends}, unsigned{tkm_most_elements});
        return 1;
    }
    if (check_corners(scene)) return 1;
    *tkm_index = tkm_vertex_indices(scene, records);
    const int built = build_stored_vertices(mesh, scene, records);
    if (built) return built;
    return build_blend_vertices(mesh, scene, records, num_blends);
}
