// SPDX-License-Identifier: MIT
// Fuzz target for the Milkshape import: read any bytes as an .ms3d file and convert what reads.
// Small models are converted twice, with the grid merges and with the plain scans, and must give
// the same mesh; every converted mesh must save as a TKM file that reads back. A model that reads
// is also converted with its Milkshape 1.8 weights, and its keyframes built into a TKA for its
// mesh. Its optional blocks are read both strictly and leniently, and the readings must agree.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_target.h"
#include "round_trip.h"
#include "sniff_check.h"
#include "tests/fixtures/fuzz_files.h"
#include "tests/fixtures/ms3d_builder.h"
#include "viewer/anim/animation.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_extras.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

namespace fx = ms3d_fixture;

namespace {

// Reads the bytes with the optional blocks read as asked; the model (to release) or null.
ms3d_model *read_model(const uint8_t *data, size_t size, ms3d_extras_reading reading, int *read) {
    ms3d_model *model = create_ms3d();
    if (model) *read = read_ms3d_memory(model, data, size, "in.ms3d", nullptr, reading);
    return model;
}

bool is_bad_block(int code) {
    return code >= ms3d_bad_comments && code <= ms3d_bad_model_extras;
}

// Both readings of the optional blocks must agree: the same core fields, and a lenient read that
// succeeds where the strict one found a bad block, stopped at that block and left nothing of it.
void compare_readings(const uint8_t *data, size_t size) {
    int strict = 0, lenient = 0;
    ms3d_model *a = read_model(data, size, ms3d_extras_strict, &strict);
    ms3d_model *b = read_model(data, size, ms3d_extras_lenient, &lenient);
    if (a && b) {
        const ms3d_extras &x = b->extras;
        const int expected = is_bad_block(strict) ? 0 : strict;
        const int stopped = is_bad_block(strict) ? strict : 0;
        if (lenient != expected || (lenient == 0 && x.stopped_block != stopped)) std::abort();
        const bool vertices_dropped = ms3d_vertex_extras_lost(x);
        const bool joints_dropped = x.stopped_block && x.stopped_block <= ms3d_bad_joint_extras;
        if ((vertices_dropped && (x.vertices || x.vertex_sub_version)) ||
            (joints_dropped && (x.joint_colors || x.joint_sub_version)) ||
            (x.stopped_block && x.model_sub_version))
            std::abort();
    }
    release_ms3d(a);
    release_ms3d(b);
}

// Reads (as the viewer and tkmtool do, the optional blocks leniently) and converts; null when the
// read failed. *result gets the conversion's result.
tkm_mesh *read_and_convert(const uint8_t *data, size_t size, merge_method method, int *result,
                           uint16_t *vertices) {
    int read = 0;
    ms3d_model *model = read_model(data, size, ms3d_extras_lenient, &read);
    if (!model) return nullptr;
    *vertices = model->num_vertices;
    tkm_mesh *mesh = nullptr;
    if (read == 0) {
        mesh = create_mesh();
        *result = convert_ms3d(mesh, model, method);
    }
    release_ms3d(model);
    return mesh;
}

// The model with its extra weights, and its animation built for the mesh so made.
void convert_weights_and_animation(const uint8_t *data, size_t size) {
    int read = 0;
    ms3d_model *model = read_model(data, size, ms3d_extras_lenient, &read);
    if (!model) return;
    scene_model scene;
    if (read == 0 && !ms3d_vertex_extras_lost(model->extras) &&
        ms3d_to_scene(model, &scene, true) == 0) {
        ms3d_weighted_vertices(model);
        tkm_mesh *mesh = create_mesh();
        scene_model copy = scene;
        if (convert_scene_to_tkm(mesh, &copy, {merge_method::grid, "Milkshape", true}) == 0 &&
            !scene.animations.empty()) {
            tka_animation *animation = create_animation();
            build_tka(animation, scene, 0, mesh);
            release_animation(animation);
        }
        release_mesh(mesh);
    }
    release_ms3d(model);
}

template <typename T> bool same(const T *a, const T *b, uint32_t count) {
    return count == 0 || std::memcmp(a, b, count * sizeof(T)) == 0;
}

bool same_mesh(const tkm_mesh &a, const tkm_mesh &b) {
    return a.num_vertices == b.num_vertices && same(a.vertices, b.vertices, a.num_vertices) &&
           a.num_runs == b.num_runs && same(a.runs, b.runs, a.num_runs) &&
           a.num_texcoords == b.num_texcoords && same(a.texcoords, b.texcoords, a.num_texcoords) &&
           a.num_corners == b.num_corners && same(a.corners, b.corners, a.num_corners) &&
           a.num_triangles == b.num_triangles && same(a.triangles, b.triangles, a.num_triangles);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    compare_readings(data, size);
    int grid_result = -100;
    uint16_t vertices = 0;
    tkm_mesh *grid = read_and_convert(data, size, merge_method::grid, &grid_result, &vertices);
    if (grid && vertices <= 2000) {
        int scan_result = -100;
        tkm_mesh *scan = read_and_convert(data, size, merge_method::scan, &scan_result, &vertices);
        // Both must agree on success; a sound mesh must be the same either way.
        if (!scan || scan_result != grid_result || (grid_result == 0 && !same_mesh(*grid, *scan)))
            std::abort();
        release_mesh(scan);
    }
    if (grid && grid_result == 0) {
        check_sniffed_as(data, size, "Milkshape");
        check_round_trip(grid);
    }
    if (grid && vertices <= 2000) convert_weights_and_animation(data, size);
    release_mesh(grid);
    return 0;
}

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    fx::model keyed = fx::triangle_model();
    fx::joint child;
    child.name = "child";
    child.parent = "root";
    child.rotation_keys = {{0.5f, {1, 2, 3}}};
    child.position_keys = {{0.25f, {4, 5, 6}}};
    keyed.joints.push_back(child);
    fx::model weapon = fx::chain_model(2);
    weapon.joints[0].rotation[0] = 45;
    fx::model unassigned = fx::triangle_model();
    for (fx::vertex &v : unassigned.vertices)
        v.bone = -1;
    fx::model shared = fx::chain_model(3);
    shared.vertices[4] = shared.vertices[0];
    shared.groups.push_back({"again", {0}, 0});
    fx::model weighted = fx::chain_model(3);
    weighted.joints[1].rotation[2] = 0.5f;
    weighted.joints[1].rotation_keys = {{0, {0, 0, 0}}, {1, {0.5f, -1, 1.5f}}};
    weighted.joints[2].position_keys = {{0, {0, 0, 0}}, {1, {0, 1, 0}}};
    weighted.extra.blocks = 4;
    weighted.extra.group_comments = {{0, "body"}};
    weighted.extra.has_model_comment = true;
    weighted.extra.model_comment = "made in code";
    weighted.extra.vertices.resize(weighted.vertices.size());
    weighted.extra.vertices[1] = {{2, -1, -1}, {60, 0, 0}, {0, 0}};
    weighted.extra.vertices[4] = {{0, 2, -1}, {30, 30, 0}, {0, 0}};
    // A trailer cut inside the vertex extras: read leniently, only the comments are kept.
    std::vector<uint8_t> cut_trailer = fx::bytes(weighted);
    cut_trailer.resize(cut_trailer.size() - 30);
    return {fx::bytes(fx::triangle_model()),
            fx::bytes(weighted),
            cut_trailer,
            fx::bytes(keyed),
            fx::bytes(weapon),
            fx::bytes(unassigned),
            fx::bytes(shared),
            fx::bytes(fx::chain_model(34)),
            fx::bytes(fx::generated_model(120, 50, 40, 7))};
}
