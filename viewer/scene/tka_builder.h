// SPDX-License-Identifier: MIT
// Building a tka_animation from one of the neutral model's animations, for a TKM skeleton.
#pragma once

#include <cstddef>
#include <cstdint>

struct tka_animation;
struct tkm_mesh;
struct scene_model;
struct scene_animation;
struct scene_key_track;

// The TKA's frame rate: the viewer steps one frame every 100 ms.
inline constexpr float tka_frames_per_second = 10.0f;

// Result codes of build_tka; each failure is also printed in words on standard error.
enum tka_build_code : int {
    tka_build_ok = 0,
    tka_build_bad_keys = 1,        // key times not increasing, keys not finite, counts mismatched
    tka_build_no_bones = 2,        // no bone of the skeleton is named in the model
    tka_build_too_many_frames = 3, // more than 65,535 frames at 10 a second
    tka_build_out_of_memory = 4,
};

// Fills the empty animation with the scene's animation number index, sampled at 10 frames a
// second from its first key to its last, for the skeleton of mesh: its bones are matched to the
// scene's joints by name; a bone without a joint keeps its bind rotation (a warning names it).
// Only rotations are kept: translations that differ from the bind pose, and scales, are reported
// once with the largest distance they would have moved a vertex. 0 or a tka_build_code.
int build_tka(tka_animation *animation, const scene_model &scene, size_t index,
              const tkm_mesh *mesh);

// The time of an animation's first and last key, in seconds; false when it has no keys.
bool animation_time_span(const scene_animation &animation, float *first, float *last);

// The value of a track at time t (seconds) into out (4 floats for a rotation, normalised; 3
// otherwise), as its interpolation gives it; before the first key the first value, after the last
// the last. The track must have passed the checks of build_tka.
void sample_key_track(const scene_key_track &track, bool rotation, float t, float *out);
