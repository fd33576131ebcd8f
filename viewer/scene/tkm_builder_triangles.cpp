// SPDX-License-Identifier: MIT
// The triangle step of the TKM builder: material runs, triangles with their corners, hit colours
// and texture coordinates, the merge of equal texture coordinates, and the triangle list.
//
// Sections: checks, material runs, triangles and corners, texture coordinate merging,
// convert_triangles.
#include <cstring>
#include <vector>

#include "support/messages.h"
#include "viewer/mesh/mesh.h"
#include "viewer/scene/point_merge.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"

namespace {

// ---- checks

// The TKM vertex a corner names: the scene vertex's new number; a corner of a model without
// vertices keeps its own, for the check to refuse.
uint32_t tkm_vertex(const std::vector<uint32_t> &tkm_index, uint32_t vertex) {
    return vertex < tkm_index.size() ? tkm_index[vertex] : vertex;
}

// Everything the triangle arrays are sized and indexed by, checked before anything is written.
int check_triangle_sources(const tkm_mesh *mesh, const scene_model *scene,
                           const std::vector<uint32_t> &tkm_index, const char *source) {
    if (scene->triangles.size() > tkm_most_triangles) {
        real_meow("%s model has %zu triangles, more than the %u a mesh can hold.  Can't use "
                  "this model!\n",
                  source, scene->triangles.size(), unsigned{tkm_most_triangles});
        return 1;
    }
    if (scene->groups.size() > tkm_most_elements) {
        real_meow("%s model has %zu groups, more than the %u a mesh can hold.  Can't use this "
                  "model!\n",
                  source, scene->groups.size(), unsigned{tkm_most_elements});
        return 1;
    }
    const uint32_t num_vertices = uint32_t{mesh->num_vertices} + mesh->num_blends;
    size_t listed = 0;
    for (const scene_group &group : scene->groups) {
        listed += group.triangles.size();
        for (uint32_t t : group.triangles) {
            if (t >= scene->triangles.size()) {
                real_meow("Group '%s' lists triangle %u, but the model has only %zu triangles.  "
                          "Can't use this model!\n",
                          group.name.c_str(), unsigned{t}, scene->triangles.size());
                return 1;
            }
            for (int k = 2; k >= 0; k--) {
                const uint32_t v = tkm_vertex(tkm_index, scene->triangles[t].corners[k].vertex);
                if (v >= num_vertices) {
                    real_meow("Triangle %u uses vertex %u, but the model has only %u vertices.  "
                              "Can't use this model!\n",
                              unsigned{t}, unsigned{v}, unsigned{num_vertices});
                    return 1;
                }
            }
        }
    }
    if (listed > scene->triangles.size()) {
        real_meow("%s groups list %zu triangles, but the model has only %zu.  Can't use this "
                  "model!\n",
                  source, listed, scene->triangles.size());
        return 1;
    }
    return 0;
}

// ---- material runs

// One run per group that has triangles. A group without any draws nothing, and a run of none
// after the last triangle cannot be stored in a TKM file (its reader refuses it), so such a group
// gets no run; its material is checked all the same.
int build_material_runs(tkm_mesh *mesh, const scene_model *scene) {
    mesh->material_runs = alloc_elements<material_run>(uint32_t(scene->groups.size()));
    if (!mesh->material_runs) return 1;
    uint16_t first = 0;
    for (const scene_group &group : scene->groups) {
        if (group.material < 0) {
            real_meow("Group '%s' has no material assigned.  Can't use this model!\n",
                      group.name.c_str());
            return 1;
        }
        if (size_t(group.material) >= scene->materials.size()) {
            real_meow("Group '%s' uses material %d, but the model has only %zu materials.  Can't "
                      "use this model!\n",
                      group.name.c_str(), int{group.material}, scene->materials.size());
            return 1;
        }
        if (group.triangles.empty()) continue;
        const uint16_t count = static_cast<uint16_t>(group.triangles.size());
        mesh->material_runs[mesh->num_material_runs++] = {static_cast<uint16_t>(group.material),
                                                          first, count};
        first = static_cast<uint16_t>(first + count);
    }
    return 0;
}

// ---- triangles and corners

int fill_triangles(tkm_mesh *mesh, const scene_model *scene,
                   const std::vector<uint32_t> &tkm_index) {
    const uint16_t count = static_cast<uint16_t>(scene->triangles.size());
    const uint16_t corners = static_cast<uint16_t>(3 * count);
    mesh->triangles = alloc_elements<tkm_triangle>(count);
    mesh->corners = alloc_elements<tkm_corner>(corners);
    mesh->texcoords = alloc_elements<tkm_texcoord>(corners);
    if (!mesh->triangles || !mesh->corners || !mesh->texcoords) return 1;
    mesh->num_triangles = count;
    mesh->num_corners = corners;
    mesh->num_texcoords = corners;
    uint16_t written = 0; // triangles
    uint16_t n = 0;       // corners
    std::vector<bool> listed(count);
    for (const scene_group &group : scene->groups) {
        for (uint32_t t : group.triangles) {
            const scene_triangle &source = scene->triangles[t];
            listed[t] = true;
            // Each triangle's corners are stored last one first, which keeps the meshes converted
            // before blend vertices and hit colours came along byte for byte the same.
            for (uint16_t c = 0; c < 3; c++) {
                const uint16_t at = static_cast<uint16_t>(n + c);
                const scene_corner &corner = source.corners[2 - c];
                mesh->texcoords[at] = {corner.uv[0], corner.uv[1]};
                mesh->corners[at] = {at,
                                     static_cast<uint16_t>(tkm_vertex(tkm_index, corner.vertex)), 0,
                                     static_cast<uint16_t>(corner.hit_color & 0x7FFF)};
                mesh->triangles[written].corners[2 - c] = at;
            }
            written++;
            n = static_cast<uint16_t>(n + 3);
        }
    }
    bool unused = false;
    if (int{n} < int{mesh->num_corners} - 1) {
        real_purr("PANIC: Only used %u of %u vertices\n", unsigned{n}, unsigned{mesh->num_corners});
        unused = true;
    }
    if (int{written} < int{mesh->num_triangles} - 1) {
        real_purr("PANIC: Only used %u of %u triangles\n", unsigned{written},
                  unsigned{mesh->num_triangles});
        unused = true;
    }
    if (unused) return 2;
    // The counts add up even when a triangle listed twice hides one listed by no group.
    for (uint16_t t = 0; t < count; t++)
        if (!listed[t]) {
            real_meow("Triangle %u is in no group.  Can't use this model!\n", unsigned{t});
            return 2;
        }
    return 0;
}

// ---- texture coordinate merging

void merge_texcoords_by_scan(tkm_mesh *mesh) {
    uint16_t i = 0;
    while (i < mesh->num_texcoords) {
        const float a[3] = {mesh->texcoords[i].u, mesh->texcoords[i].v, 0.0f};
        bool merged = false;
        for (uint16_t j = 0; j < i; j++) {
            const float b[3] = {mesh->texcoords[j].u, mesh->texcoords[j].v, 0.0f};
            if (vec3_nearly_equal(a, b)) {
                merge_texcoord(mesh, j, i);
                merged = true;
                break;
            }
        }
        if (!merged) i++;
    }
}

int merge_texcoords_by_grid(tkm_mesh *mesh) {
    const uint16_t count = mesh->num_texcoords;
    std::vector<float> points(3u * count);
    for (uint16_t i = 0; i < count; i++) {
        points[3u * i] = mesh->texcoords[i].u;
        points[3u * i + 1] = mesh->texcoords[i].v;
    }
    const point_merge merge = merge_nearly_equal_points(points.data(), count);
    if (merge.num_kept == count) return 0;
    tkm_texcoord *kept = alloc_elements<tkm_texcoord>(merge.num_kept);
    if (!kept) return 1;
    uint32_t next = 0;
    for (uint16_t i = 0; i < count; i++)
        if (merge.new_index[i] == next) kept[next++] = mesh->texcoords[i];
    cleanup_one(mesh->texcoords);
    mesh->texcoords = kept;
    mesh->num_texcoords = static_cast<uint16_t>(merge.num_kept);
    for (uint16_t c = 0; c < mesh->num_corners; c++)
        mesh->corners[c].texcoord =
            static_cast<uint16_t>(merge.new_index[mesh->corners[c].texcoord]);
    return 0;
}

int build_triangle_list(tkm_mesh *mesh) {
    mesh->triangle_lists = alloc_elements<triangle_list>(1);
    if (!mesh->triangle_lists) return 1;
    mesh->num_triangle_lists = 1;
    triangle_list &list = mesh->triangle_lists[0];
    list.triangles = alloc_elements<uint16_t>(mesh->num_triangles);
    if (!list.triangles) return 1;
    list.count = mesh->num_triangles;
    for (uint16_t t = 0; t < list.count; t++)
        list.triangles[t] = t;
    mesh->list_aux = uint32_t{mesh->num_triangles} + 2;
    return 0;
}

} // namespace

// ---- convert_triangles

void merge_texcoord(tkm_mesh *mesh, uint16_t keep, uint16_t drop) {
    for (uint16_t c = 0; c < mesh->num_corners; c++) {
        uint16_t &index = mesh->corners[c].texcoord;
        if (index == drop)
            index = keep;
        else if (index > drop)
            index--;
    }
    std::memmove(&mesh->texcoords[drop], &mesh->texcoords[drop + 1],
                 (mesh->num_texcoords - drop - 1u) * sizeof(tkm_texcoord));
    mesh->num_texcoords--;
}

int convert_triangles(tkm_mesh *mesh, const scene_model *scene,
                      const std::vector<uint32_t> &tkm_index, merge_method method,
                      const char *source) {
    if (check_triangle_sources(mesh, scene, tkm_index, source)) return 1;
    if (build_material_runs(mesh, scene)) return 1;
    const int filled = fill_triangles(mesh, scene, tkm_index);
    if (filled) return filled;
    if (method == merge_method::scan)
        merge_texcoords_by_scan(mesh);
    else if (merge_texcoords_by_grid(mesh))
        return 1;
    return build_triangle_list(mesh);
}
