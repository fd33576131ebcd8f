// SPDX-License-Identifier: MIT
// make_dense_model DIR: writes DIR/Dense.tkm, a textured ball of 65,535 triangles (the most a mesh
// can hold) on two bones, and the texture it names, for timing tkmtool render and thumbnail on
// the largest mesh there can be (bench_render.sh). The file is written byte by byte with the
// tests' TKM builder.
#include <cmath>
#include <cstdio>
#include <string>

#include "tests/fixtures/tkm_builder.h"
#include "tools/samplegen/byte_writer.h"
#include "tools/samplegen/images.h"
#include "tools/samplegen/sample_models.h"

namespace {

using namespace tkm_fixture;

constexpr int rings = 127;                 // quads from pole to pole
constexpr int segments = 258;              // quads around
constexpr uint32_t most_triangles = 65535; // 2 x 127 x 258 = 65,532, and three more
constexpr double radius = 40.0;

uint16_t point_index(int ring, int segment) {
    return static_cast<uint16_t>(ring * (segments + 1) + segment);
}

// One vertex, corner and texture coordinate per point of a latitude-longitude grid, the lower
// half on the root bone and the upper half on its child.
void add_points(tkm_description *ball) {
    for (int r = 0; r <= rings; r++)
        for (int s = 0; s <= segments; s++) {
            const double down = M_PI * r / rings, around = 2.0 * M_PI * s / segments;
            ball->vertices.push_back(
                {static_cast<float>(radius * std::sin(down) * std::cos(around)),
                 static_cast<float>(radius * std::cos(down)),
                 static_cast<float>(radius * std::sin(down) * std::sin(around))});
            ball->texcoords.push_back(
                {static_cast<float>(s) * 8.0f / segments, static_cast<float>(r) * 4.0f / rings});
            const uint16_t i = point_index(r, s);
            ball->corners.push_back({i, i, 0, static_cast<uint16_t>(i & 0x7FFF)});
        }
    const uint16_t count = static_cast<uint16_t>(ball->vertices.size()), half = count / 2;
    ball->runs = {{0, 0, half}, {1, half, static_cast<uint16_t>(count - half)}};
}

// Two triangles per grid quad, wound clockwise seen from outside (the viewer's front faces).
void add_triangles(tkm_description *ball) {
    for (int r = 0; r < rings; r++)
        for (int s = 0; s < segments; s++) {
            const uint16_t a = point_index(r, s), b = point_index(r, s + 1);
            const uint16_t c = point_index(r + 1, s), d = point_index(r + 1, s + 1);
            ball->triangles.push_back({a, c, b});
            ball->triangles.push_back({b, c, d});
        }
    for (std::size_t i = 0; ball->triangles.size() < most_triangles; i++)
        ball->triangles.push_back(ball->triangles[i]);
}

tkm_description dense_ball() {
    tkm_description ball;
    ball.name = "Dense";
    ball.bones = {{"Root", 0xFFFF, {0, 0, 0}, {0, 0, 0, 1}}, {"Upper", 0, {0, 0, 0}, {0, 0, 0, 1}}};
    ball.end_marker = true;
    add_points(&ball);
    add_triangles(&ball);
    ball.texture_names = {uniform_texture_file};
    material_description cloth;
    cloth.name = "Cloth";
    cloth.refs = {{0, 0}};
    cloth.transparency = 0.0f;
    cloth.two_sided = 0;
    ball.materials = {cloth};
    ball.material_runs = {{0, 0, static_cast<uint16_t>(most_triangles)}};
    return ball;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_dense_model OUTPUT_DIRECTORY\n");
        return 2;
    }
    const std::string directory = std::string(argv[1]) + "/";
    int code = write_bytes(directory + "Dense.tkm", tkm_bytes(dense_ball()));
    if (code == 0)
        code = write_bytes(directory + uniform_texture_file, encode_bmp(make_uniform_picture()));
    if (code != 0) std::fprintf(stderr, "make_dense_model: writing into %s failed\n", argv[1]);
    return code == 0 ? 0 : 1;
}
