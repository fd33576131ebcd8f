// SPDX-License-Identifier: MIT
// Time to turn a Milkshape character's keyframes into a TKA, as `tkmtool convert IN OUT.tka`
// does (read into the neutral model, the skeleton built as a TKM, the keys sampled at 10 frames
// a second): a generated character of the size of a long real one, 31 joints with 60,000
// rotation keys and 3,100 position keys over 142 s, about 1,800 vertices. The file's read is
// timed too; the console lines are discarded.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>

#include "fixtures/ms3d_builder.h"
#include "fixtures/quiet_output.h"
#include "viewer/anim/animation.h"
#include "viewer/mesh/mesh.h"
#include "viewer/ms3d/ms3d_convert.h"
#include "viewer/ms3d/ms3d_scene.h"
#include "viewer/ms3d/ms3d_model.h"
#include "viewer/ms3d/ms3d_reader.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

namespace {

namespace fx = ms3d_fixture;

// Keys spread evenly over the duration, each joint swinging about all three axes.
fx::model keyed_character(uint32_t num_rotation_keys, uint32_t num_position_keys) {
    const uint16_t num_joints = 31;
    const float seconds = 142;
    fx::model m = fx::generated_model(1789, 600, num_joints, 2026);
    for (uint16_t j = 0; j < num_joints; j++) {
        fx::joint &joint = m.joints[j];
        const uint32_t rotations = num_rotation_keys / num_joints,
                       positions = num_position_keys / num_joints;
        for (uint32_t k = 0; k < rotations; k++) {
            const float t = seconds * float(k) / float(rotations - 1), phase = 0.1f * float(j);
            joint.rotation_keys.push_back(
                {t, {std::sin(t + phase), 0.5f * std::cos(2 * t), 0.3f * std::sin(3 * t + phase)}});
        }
        for (uint32_t k = 0; k < positions; k++) {
            const float t = seconds * float(k) / float(positions - 1);
            joint.position_keys.push_back({t, {0.01f * std::sin(t), 0, 0}});
        }
    }
    return m;
}

void convert_animation(benchmark::State &state) {
    std::vector<uint8_t> bytes = fx::bytes(keyed_character(60000, 3100));
    uint16_t frames = 0;
    for (auto _ : state) {
        ms3d_model *model = create_ms3d();
        scene_model scene;
        tkm_mesh *mesh = create_mesh();
        tka_animation *animation = create_animation();
        int result = read_ms3d_memory(model, bytes.data(), bytes.size(), "bench.ms3d");
        {
            quiet_output quiet;
            if (result == 0) result = ms3d_to_scene(model, &scene);
            scene_model copy = scene; // the build takes the model it reads
            if (result == 0)
                result = convert_scene_to_tkm(mesh, &copy, {merge_method::grid, "Milkshape", true});
            if (result == 0) result = build_tka(animation, scene, 0, mesh);
        }
        if (result != 0) state.SkipWithError("the generated character does not convert");
        frames = animation->num_frames;
        release_animation(animation);
        release_mesh(mesh);
        release_ms3d(model);
        if (result != 0) break;
    }
    state.counters["frames"] = frames;
}

} // namespace

BENCHMARK(convert_animation)->Unit(benchmark::kMillisecond);
