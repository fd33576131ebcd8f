// SPDX-License-Identifier: MIT
// What a TKA cannot hold of an animation: the report of its translations and scales.
#pragma once

#include <cstdint>

struct scene_model;
struct scene_animation;

// When the animation moves a joint away from its bind translation or scales one, prints once on
// standard error that these are left out and the largest distance they would have moved a vertex
// (or a joint, for a model without vertices) over the frames sampled from first at 10 a second.
// Returns that distance; 0 (and nothing printed) when there is nothing left out.
float report_dropped_motion(const scene_model &scene, const scene_animation &animation, float first,
                            uint16_t num_frames);
