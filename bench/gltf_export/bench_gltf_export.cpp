// SPDX-License-Identifier: MIT
// Export time of models at the format's limits: a mesh of 65,535 stored vertices, corners,
// texture coordinates and triangles on a 52-bone skeleton (every triangle's own flat normal splits
// its corners into 196,605 glTF vertices), alone and with the largest animation the format holds
// for it (52 bones, all animated, 65,535 frames). The models are read once, untimed; encoding
// builds the whole file in memory, writing also puts it on disk through scratch files.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "common/temp_dir.h"
#include "fixtures/mesh_loading.h"
#include "viewer/gltf/gltf_export.h"
#include "viewer/math/math3d.h"
#include "viewer/textures/image_png.h"

namespace {

using namespace tkm_fixture;

constexpr uint16_t num_bones = 52;
constexpr uint32_t limit = 65535;

// The skeleton: a tree (bone i hangs from (i - 1) / 2), each bone turned about its own axis.
std::vector<bone_description> skeleton() {
    std::vector<bone_description> bones;
    for (uint16_t i = 0; i < num_bones; ++i) {
        bone_description bone;
        bone.name = "bone" + std::to_string(i);
        bone.parent = i ? static_cast<uint16_t>((i - 1) / 2) : 0xFFFF;
        bone.position = {0.5f, 0.25f * float(i % 3), 2};
        const float axis[3] = {float(i % 2), 1, float(i % 5)};
        quat_from_axis_angle(bone.rotation.data(), float(i * 7 % 90), axis);
        bones.push_back(bone);
    }
    return bones;
}

tkm_description mesh_at_limits() {
    tkm_description d;
    d.name = "limits";
    d.bones = skeleton();
    for (uint32_t v = 0; v < limit; ++v) {
        d.vertices.push_back({float(v % 17) * 0.1f, float(v % 13) * 0.1f, float(v % 11) * 0.1f});
        d.texcoords.push_back({float(v % 256) / 256.0f, float(v / 256) / 256.0f});
        d.corners.push_back({static_cast<uint16_t>(v), static_cast<uint16_t>(v), 0,
                             static_cast<uint16_t>(v & 0x7FFF)});
        d.triangles.push_back({static_cast<uint16_t>(v), static_cast<uint16_t>((v + 1) % limit),
                               static_cast<uint16_t>((v + 2) % limit)});
    }
    // Consecutive blocks of vertices per bone, as the runs require.
    for (uint16_t b = 0; b < num_bones; ++b) {
        uint32_t first = limit * b / num_bones, end = limit * (b + 1u) / num_bones;
        d.runs.push_back({b, static_cast<uint16_t>(first), static_cast<uint16_t>(end - first)});
    }
    d.end_marker = true;
    material_description skin, cloth;
    skin.name = "skin";
    cloth.name = "cloth";
    cloth.transparency = 0;
    d.materials = {skin, cloth};
    d.material_runs = {{0, 0, 30000}, {1, 30000, limit - 30000}};
    return d;
}

tka_description largest_animation() {
    tka_description d;
    d.name = "largest";
    d.bones = skeleton();
    for (uint32_t f = 0; f < limit; ++f) {
        tka_frame_description frame;
        for (uint16_t b = 0; b < num_bones; ++b) {
            quat q;
            const float axis[3] = {1, float(b % 3), float(f % 7)};
            quat_from_axis_angle(q.data(), float((f * 3 + b) % 360), axis);
            frame.rotations.push_back(q);
        }
        d.frames.push_back(std::move(frame));
    }
    return d;
}

struct models {
    temp_dir dir;
    mesh_ptr mesh;
    animation_ptr animation;
    models() {
        int code = -1;
        mesh = read_mesh_bytes(dir, tkm_bytes(mesh_at_limits()), &code);
        if (code != 0) std::abort();
        animation = load_animation_bytes(dir, tka_bytes(largest_animation()), mesh.get(), &code);
        if (code != 0) std::abort();
    }
};

models &shared() {
    static models loaded;
    return loaded;
}

void encode(benchmark::State &state, bool animated, bool binary) {
    models &m = shared();
    gltf_export_options options;
    options.binary = binary;
    options.texture_directory = m.dir.path.string();
    options.read_image = read_image_with_devil;
    if (animated) options.animations.push_back({m.animation.get(), "largest"});
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<gltf_file> files;
        gltf_export_report report;
        if (encode_gltf(*m.mesh, options, &files, &report) != gltf_export_ok) {
            state.SkipWithError(report.error.c_str());
            break;
        }
        bytes = 0;
        for (const gltf_file &file : files)
            bytes += file.bytes.size();
    }
    state.counters["megabytes"] = double(bytes) / 1e6;
}

void encode_mesh_glb(benchmark::State &state) {
    encode(state, false, true);
}
void encode_mesh_gltf(benchmark::State &state) {
    encode(state, false, false);
}
void encode_mesh_and_largest_animation_glb(benchmark::State &state) {
    encode(state, true, true);
}

void export_mesh_and_largest_animation_to_disk(benchmark::State &state) {
    models &m = shared();
    gltf_export_options options;
    options.texture_directory = m.dir.path.string();
    options.read_image = read_image_with_devil;
    options.animations.push_back({m.animation.get(), "largest"});
    for (auto _ : state) {
        gltf_export_report report;
        if (export_gltf(*m.mesh, m.dir / "out.glb", options, &report) != gltf_export_ok) {
            state.SkipWithError(report.error.c_str());
            break;
        }
    }
}

} // namespace

BENCHMARK(encode_mesh_glb)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(encode_mesh_gltf)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(encode_mesh_and_largest_animation_glb)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(export_mesh_and_largest_animation_to_disk)->Unit(benchmark::kMillisecond)->Iterations(3);
