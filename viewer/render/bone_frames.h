// SPDX-License-Identifier: MIT
// Where a bone stands in an animation frame, for the bones and marker overlays.
#pragma once

#include <cstdint>

struct tkm_mesh;
struct tka_animation;

// The world matrix of bone in frame of animation; when the animation lacks that bone or frame,
// the mesh's bind-pose world matrix (mesh may be null); null when neither has it.
const float *bone_frame_world(const tkm_mesh *mesh, const tka_animation *animation, uint32_t frame,
                              uint16_t bone);

// The parent index of bone as the animation (or, lacking it, the mesh) gives it; no_parent for a
// root or a bone neither has.
uint16_t bone_parent(const tkm_mesh *mesh, const tka_animation *animation, uint16_t bone);
