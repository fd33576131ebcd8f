// SPDX-License-Identifier: MIT
// What a TKA cannot hold of an animation: the report of its translations and scales.
#pragma once

#include <cstdint>

struct scene_model;
struct scene_animation;

// When the animation moves a joint away from its bind translation or scales one, prints once on
// standard error what is left out (translations, scales), the largest distance it would have
// moved a vertex or a joint over the frames sampled from first at 10 a second, in the model's
// units and as a share of the model's size, and the bone it would have moved furthest.
// Returns that distance; 0 (and nothing printed) when there is nothing left out.
float report_dropped_motion(const scene_model &scene, const scene_animation &animation, float first,
                            uint16_t num_frames);
