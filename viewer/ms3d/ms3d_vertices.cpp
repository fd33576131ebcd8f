// The vertex step of the Milkshape conversion: bone check, merging of coincident vertices, sorting
// by bone, renumbering of the triangles, bone runs and the stored vertices.
//
// Sections: checks, merging, sorting and renumbering, runs and stored vertices, assign_vertices.
#include <algorithm>
#include <cstring>
#include <vector>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/render/math3d.h"

namespace {

// ---- checks

// Every vertex needs a bone; a model without any gets them all on the root, when it has one.
int check_bone_assignment(ms3d_model *model) {
    uint32_t assigned = 0;
    for (uint16_t i = 0; i < model->num_vertices; i++)
        if (model->vertices[i].bone >= 0) assigned++;
    if (assigned == model->num_vertices) return 0;
    if (assigned != 0) {
        real_meow("Not all vertices are assigned to a bone.  Can't use this model!\n");
        return 1;
    }
    real_meow("Milkshape model has no vertices assigned to bones.\n");
    if (model->num_joints == 0) {
        real_meow("Can't use this model!\n");
        return 1;
    }
    real_meow("Assuming all vertices assigned to root.\n");
    for (uint16_t i = 0; i < model->num_vertices; i++)
        model->vertices[i].bone = 0;
    return 0;
}

// Triangles are renumbered through the groups' lists, so every listed triangle must exist.
int check_group_triangles(const ms3d_model *model) {
    for (uint16_t g = 0; g < model->num_groups; g++) {
        const ms3d_group &group = model->groups[g];
        for (uint16_t k = 0; k < group.num_triangles; k++)
            if (group.triangle_indices[k] >= model->num_triangles) {
                real_meow("Group '%.32s' lists triangle %u, but the model has only %u triangles.  "
                          "Can't use this model!\n",
                          group.name, unsigned{group.triangle_indices[k]},
                          unsigned{model->num_triangles});
                return 1;
            }
    }
    return 0;
}

// ---- merging

// The plain scan: each vertex against every earlier one, merging one at a time.
void merge_by_scan(ms3d_model *model) {
    uint16_t i = 0;
    while (i < model->num_vertices) {
        bool merged = false;
        for (uint16_t j = 0; j < i; j++)
            if (vec3_nearly_equal(model->vertices[i].position, model->vertices[j].position)) {
                merge_vertex(model, i, j);
                merged = true;
                break;
            }
        if (!merged) i++;
    }
}

// The same result from the grid, with the vertex array and the triangles rebuilt once.
int merge_by_grid(ms3d_model *model) {
    const uint16_t count = model->num_vertices;
    std::vector<float> positions(3u * count);
    for (uint16_t i = 0; i < count; i++)
        std::memcpy(&positions[3u * i], model->vertices[i].position, 3 * sizeof(float));
    const point_merge merge = merge_nearly_equal_points(positions.data(), count);
    if (merge.num_kept == count) return 0;
    ms3d_vertex *kept = alloc_elements<ms3d_vertex>(merge.num_kept);
    if (!kept) return 1;
    uint32_t next = 0;
    for (uint16_t i = 0; i < count; i++)
        if (merge.new_index[i] == next) kept[next++] = model->vertices[i];
    cleanup_one(model->vertices);
    model->vertices = kept;
    model->num_vertices = static_cast<uint16_t>(merge.num_kept);
    // Indices past the old end move down once per merged vertex, as the one-by-one merge does.
    const uint16_t removed = static_cast<uint16_t>(count - merge.num_kept);
    for (uint16_t t = 0; t < model->num_triangles; t++)
        for (uint16_t &index : model->triangles[t].vertex_indices)
            index = index < count ? static_cast<uint16_t>(merge.new_index[index])
                                  : static_cast<uint16_t>(index - removed);
    return 0;
}

// ---- sorting and renumbering

struct sort_record {
    uint16_t index;
    int32_t key;
};

void sort_by_key(std::vector<sort_record> &records) {
    // Stable, so that vertices of one bone keep their order and the result is reproducible.
    std::stable_sort(records.begin(), records.end(),
                     [](const sort_record &a, const sort_record &b) { return a.key < b.key; });
}

// Sorts the vertices by bone; returns the new index of every old vertex (empty when out of
// memory).
std::vector<uint16_t> sort_vertices_by_bone(ms3d_model *model) {
    const uint16_t count = model->num_vertices;
    std::vector<sort_record> records(count);
    for (uint16_t p = 0; p < count; p++)
        records[p] = {p, model->vertices[p].bone};
    sort_by_key(records);
    ms3d_vertex *sorted = alloc_elements<ms3d_vertex>(count);
    if (!sorted) return {};
    for (uint16_t p = 0; p < count; p++)
        sorted[p] = model->vertices[records[p].index];
    cleanup_one(model->vertices);
    model->vertices = sorted;
    for (uint16_t p = 0; p < count; p++)
        records[p] = {p, records[p].index};
    sort_by_key(records);
    std::vector<uint16_t> new_index(count);
    for (uint16_t o = 0; o < count; o++)
        new_index[o] = records[o].index;
    return new_index;
}

// Renumbers each listed triangle once (a triangle listed by two groups must not be moved twice).
int renumber_triangles(ms3d_model *model, const std::vector<uint16_t> &new_index) {
    std::vector<bool> done(model->num_triangles);
    for (uint16_t g = 0; g < model->num_groups; g++) {
        const ms3d_group &group = model->groups[g];
        for (uint16_t k = 0; k < group.num_triangles; k++) {
            const uint16_t t = group.triangle_indices[k];
            if (done[t]) continue;
            done[t] = true;
            uint16_t *indices = model->triangles[t].vertex_indices;
            for (int corner = 0; corner < 3; corner++) {
                if (indices[corner] >= model->num_vertices) {
                    real_meow("PANIC: g%u/%u t%u/%u v%d: %u > %u\n", unsigned{g},
                              unsigned{model->num_groups}, unsigned{k},
                              unsigned{group.num_triangles}, corner, unsigned{indices[corner]},
                              unsigned{model->num_vertices});
                    return 1;
                }
                indices[corner] = new_index[indices[corner]];
            }
        }
    }
    return 0;
}

// ---- runs and stored vertices

int build_stored_vertices(tkm_mesh *mesh, const ms3d_model *model) {
    mesh->vertices = alloc_elements<tkm_vertex>(model->num_vertices);
    mesh->runs = alloc_elements<bone_run>(model->num_joints);
    if (!mesh->vertices || !mesh->runs) return 1;
    mesh->num_vertices = model->num_vertices;
    mesh->num_runs = model->num_joints;
    mesh->declared_run_count = 0;
    uint8_t current_bone = 0xFF;
    int run = -1;
    for (uint16_t p = 0; p < mesh->num_vertices; p++) {
        const ms3d_vertex &source = model->vertices[p];
        const uint8_t bone = static_cast<uint8_t>(source.bone);
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
                          unsigned{p}, unsigned{bone}, unsigned{mesh->num_bones});
                return 1;
            }
            mesh->runs[run] = {bone, p, 0};
        }
        mesh->runs[run].vertex_count++;
        tkm_vertex &vertex = mesh->vertices[p];
        vertex.bone = bone;
        mat4_identity(vertex.world);
        std::memcpy(&vertex.world[12], source.position, 3 * sizeof(float));
        float to_bone[16];
        mat4_rigid_inverse(to_bone, mesh->bones[bone].world);
        mat4_multiply(vertex.local, to_bone, vertex.world);
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

} // namespace

// ---- assign_vertices

void merge_vertex(ms3d_model *model, uint16_t drop, uint16_t keep) {
    // Every triangle once, listed by a group or not, so that none is moved twice.
    for (uint16_t t = 0; t < model->num_triangles; t++)
        for (uint16_t &index : model->triangles[t].vertex_indices) {
            if (index == drop)
                index = keep;
            else if (index > drop)
                index--;
        }
    std::memmove(&model->vertices[drop], &model->vertices[drop + 1],
                 (model->num_vertices - drop - 1u) * sizeof(ms3d_vertex));
    model->num_vertices--;
}

int assign_vertices(tkm_mesh *mesh, ms3d_model *model, merge_method method) {
    if (model->num_vertices == 0) return 0;
    if (check_bone_assignment(model)) return 1;
    if (check_group_triangles(model)) return 1;
    if (method == merge_method::scan)
        merge_by_scan(model);
    else if (merge_by_grid(model))
        return 1;
    const std::vector<uint16_t> new_index = sort_vertices_by_bone(model);
    if (new_index.size() != model->num_vertices) return 1;
    if (renumber_triangles(model, new_index)) return 1;
    return build_stored_vertices(mesh, model);
}
