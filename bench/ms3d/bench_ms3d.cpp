// SPDX-License-Identifier: MIT
// Conversion time of generated Milkshape models (many coincident vertices and texture
// coordinates), with the grid merges against the plain scans they replace. Arguments: vertices,
// triangles. The read of the model is not timed; the conversion's console lines are discarded.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

#include "fixtures/ms3d_builder.h"
#include "fixtures/quiet_output.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_reader.h"

namespace {

namespace fx = ms3d_fixture;

ms3d_model *read_model(std::vector<uint8_t> &bytes) {
    ms3d_model *model = create_ms3d();
    if (read_ms3d_memory(model, bytes.data(), bytes.size(), "bench.ms3d") != 0) {
        release_ms3d(model);
        model = nullptr;
    }
    return model;
}

void convert(benchmark::State &state, merge_method method) {
    std::vector<uint8_t> bytes = fx::bytes(
        fx::generated_model(uint16_t(state.range(0)), uint16_t(state.range(1)), 52, 2026));
    uint16_t kept_vertices = 0, kept_texcoords = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ms3d_model *model = read_model(bytes);
        tkm_mesh *mesh = create_mesh();
        if (!model) {
            state.SkipWithError("the generated model does not read");
            break;
        }
        state.ResumeTiming();
        int result;
        {
            quiet_output quiet;
            result = convert_ms3d(mesh, model, method);
        }
        state.PauseTiming();
        if (result != 0) state.SkipWithError("the generated model does not convert");
        kept_vertices = mesh->num_vertices;
        kept_texcoords = mesh->num_texcoords;
        release_mesh(mesh);
        release_ms3d(model);
        state.ResumeTiming();
    }
    state.counters["vertices_kept"] = kept_vertices;
    state.counters["texcoords_kept"] = kept_texcoords;
}

void convert_with_grid(benchmark::State &state) {
    convert(state, merge_method::grid);
}

void convert_with_scan(benchmark::State &state) {
    convert(state, merge_method::scan);
}

} // namespace

BENCHMARK(convert_with_grid)
    ->Args({4096, 1365})
    ->Args({16384, 5461})
    ->Args({65535, 21845})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(convert_with_scan)
    ->Args({4096, 1365})
    ->Args({16384, 5461})
    ->Args({65535, 21845})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
