// SPDX-License-Identifier: MIT
// make_grid_model DIR: writes DIR/Grid.ms3d, a Milkshape model of exactly 10,000 triangles (a
// wavy 100 x 50 grid of quads on one joint, one untextured material), for timing tkmtool convert
// and export-gltf against other converters on a model of ordinary size (bench_startup.sh). The
// file is written byte by byte with the tests' Milkshape builder.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "fixtures/ms3d_builder.h"

namespace {

using namespace ms3d_fixture;

constexpr int columns = 100, rows = 50; // 2 x 100 x 50 = 10,000 triangles

uint16_t point(int row, int column) {
    return static_cast<uint16_t>(row * (columns + 1) + column);
}

model grid() {
    model m;
    m.materials = {material{}};
    joint root;
    root.name = "root";
    m.joints = {root};
    for (int r = 0; r <= rows; r++)
        for (int c = 0; c <= columns; c++)
            m.vertices.push_back({static_cast<float>(c), static_cast<float>(r),
                                  static_cast<float>(std::sin(c * 0.3) * std::cos(r * 0.2)), 0});
    group body{"body", {}, 0};
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < columns; c++) {
            const uint16_t a = point(r, c), b = point(r, c + 1);
            const uint16_t d = point(r + 1, c), e = point(r + 1, c + 1);
            for (const auto &corners : {std::array<uint16_t, 3>{a, d, b}, {b, d, e}}) {
                triangle t;
                for (int k = 0; k < 3; k++) {
                    t.v[k] = corners[k];
                    t.s[k] = static_cast<float>(corners[k] % (columns + 1)) / columns;
                    t.t[k] = static_cast<float>(corners[k] / (columns + 1)) / rows;
                }
                body.triangles.push_back(static_cast<uint16_t>(m.triangles.size()));
                m.triangles.push_back(t);
            }
        }
    m.groups = {body};
    return m;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_grid_model DIR\n");
        return 1;
    }
    const std::string path = std::string(argv[1]) + "/Grid.ms3d";
    const std::vector<uint8_t> data = bytes(grid());
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(data.data(), 1, data.size(), out) != data.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "make_grid_model: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
