// SPDX-License-Identifier: MIT
// make_check_models DIR [COUNT]: writes COUNT (default 1,000) small TKM meshes into DIR/models
// and DIR/Limits.tkm, a mesh of 65,535 vertices, corners and triangles (the most each count can
// be), for timing tkmtool check over a folder of models and on the largest model there can be
// (bench_check.sh). The meshes differ in size, bones, materials and grips, so that no two take
// the same path through a reader; none names a texture, so each is complete as it stands. The
// files are written byte by byte with the tests' TKM builder.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fixtures/tkm_builder.h"

namespace {

using namespace tkm_fixture;

constexpr int default_count = 1000;
constexpr uint32_t most_records = 65535;
// The limits mesh: a grid of 255 x 257 points is exactly 65,535 vertices.
constexpr int limit_columns = 255, limit_rows = 257, limit_bones = 4;

// The shape of one generated mesh: a wavy grid of points split into bone runs by rows.
struct grid_shape {
    int columns, rows; // points across and down
    int bones, materials;
    bool grip, triangle_list;
};

// A chain of bones, each 10 units above its parent.
void add_bones(tkm_description *mesh, int count) {
    for (int i = 0; i < count; i++)
        mesh->bones.push_back({"Bone" + std::to_string(i),
                               static_cast<uint16_t>(i == 0 ? 0xFFFF : i - 1),
                               {0, i == 0 ? 0.0f : 10.0f, 0},
                               {0, 0, 0, 1}});
}

// One vertex, texture coordinate and corner per point; the rows shared out among the bones as
// runs, the last run taking what is left.
void add_points(tkm_description *mesh, const grid_shape &shape) {
    for (int r = 0; r < shape.rows; r++)
        for (int c = 0; c < shape.columns; c++) {
            mesh->vertices.push_back({static_cast<float>(c),
                                      static_cast<float>(std::sin(c * 0.4) * std::cos(r * 0.3)),
                                      static_cast<float>(r)});
            mesh->texcoords.push_back({static_cast<float>(c) / static_cast<float>(shape.columns),
                                       static_cast<float>(r) / static_cast<float>(shape.rows)});
            const auto i = static_cast<uint16_t>(mesh->corners.size());
            mesh->corners.push_back({i, i, 0, static_cast<uint16_t>(i & 0x7FFF)});
        }
    const int rows_per_bone = shape.rows / shape.bones;
    for (int b = 0; b < shape.bones; b++) {
        const int first = b * rows_per_bone * shape.columns;
        const int end = b + 1 == shape.bones ? shape.rows * shape.columns
                                             : (b + 1) * rows_per_bone * shape.columns;
        mesh->runs.push_back({static_cast<uint16_t>(b), static_cast<uint16_t>(first),
                              static_cast<uint16_t>(end - first)});
    }
    mesh->end_marker = true;
}

// Two triangles per grid quad, up to limit of them.
void add_triangles(tkm_description *mesh, const grid_shape &shape, uint32_t limit) {
    for (int r = 0; r + 1 < shape.rows; r++)
        for (int c = 0; c + 1 < shape.columns; c++) {
            const auto a = static_cast<uint16_t>(r * shape.columns + c);
            const auto b = static_cast<uint16_t>(a + 1);
            const auto d = static_cast<uint16_t>(a + shape.columns);
            const auto e = static_cast<uint16_t>(d + 1);
            for (const std::array<uint16_t, 3> &corners :
                 {std::array<uint16_t, 3>{a, d, b}, std::array<uint16_t, 3>{b, d, e}})
                if (mesh->triangles.size() < limit) mesh->triangles.push_back(corners);
        }
}

// The triangles shared out among the materials as runs, each material with its own colour.
void add_materials(tkm_description *mesh, int count) {
    const auto num_triangles = static_cast<uint32_t>(mesh->triangles.size());
    const uint32_t per_material = num_triangles / static_cast<uint32_t>(count);
    for (int m = 0; m < count; m++) {
        material_description material;
        material.name = "Material" + std::to_string(m);
        material.diffuse = {static_cast<float>(60 * m), 128, static_cast<float>(255 - 60 * m)};
        mesh->materials.push_back(material);
        const uint32_t first = static_cast<uint32_t>(m) * per_material;
        const uint32_t end = m + 1 == count ? num_triangles : first + per_material;
        mesh->material_runs.push_back({static_cast<uint16_t>(m), static_cast<uint16_t>(first),
                                       static_cast<uint16_t>(end - first)});
    }
}

tkm_description grid_mesh(const std::string &name, const grid_shape &shape, uint32_t limit) {
    tkm_description mesh;
    mesh.name = name;
    add_bones(&mesh, shape.bones);
    add_points(&mesh, shape);
    add_triangles(&mesh, shape, limit);
    add_materials(&mesh, shape.materials);
    if (shape.triangle_list) {
        std::vector<uint16_t> all;
        for (std::size_t t = 0; t < mesh.triangles.size(); t++)
            all.push_back(static_cast<uint16_t>(t));
        mesh.list_aux = static_cast<uint32_t>(all.size()) + 2;
        mesh.triangle_lists = {all};
    }
    if (shape.grip) {
        gripper_description grip;
        grip.bone = static_cast<uint16_t>(shape.bones - 1);
        mesh.grips = {grip};
    }
    return mesh;
}

// The n-th mesh of the folder: sizes and counts stepped at different rates, so that they
// combine differently from mesh to mesh (2 to 40 points across, 2 to 30 down).
grid_shape folder_shape(int n) {
    grid_shape shape{};
    shape.columns = 2 + n % 39;
    shape.rows = 2 + (n / 3) % 29;
    shape.bones = 1 + n % 5;
    if (shape.bones > shape.rows) shape.bones = shape.rows;
    shape.materials = 1 + n % 3;
    shape.grip = n % 4 == 0;
    shape.triangle_list = n % 2 == 0;
    return shape;
}

bool write_mesh(const std::string &path, const tkm_description &mesh) {
    if (write_fixture(path, tkm_bytes(mesh))) return true;
    std::fprintf(stderr, "make_check_models: cannot write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: make_check_models DIR [COUNT]\n");
        return 2;
    }
    const std::string directory = argv[1];
    const int count = argc == 3 ? std::atoi(argv[2]) : default_count;
    for (int n = 0; n < count; n++) {
        char name[32];
        std::snprintf(name, sizeof name, "Model%04d", n);
        if (!write_mesh(directory + "/models/" + name + ".tkm",
                        grid_mesh(name, folder_shape(n), most_records)))
            return 1;
    }
    const grid_shape limits{limit_columns, limit_rows, limit_bones, 1, true, true};
    return write_mesh(directory + "/Limits.tkm", grid_mesh("Limits", limits, most_records)) ? 0 : 1;
}
