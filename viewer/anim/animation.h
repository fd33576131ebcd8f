// SPDX-License-Identifier: MIT
// TKA animations: the in-memory animation (also the one-frame rest pose) and its life. The file
// loader is in tka_loader.h.
#pragma once

#include <cstdint>

#include "viewer/mesh/mesh.h"

// A string of a frame: the bytes as stored, of which the last is normally the terminating 0.
struct frame_string {
    uint16_t length; // stored length - 1: the text's length when it ends in its 0
    char *text;      // owned block of length + 1 bytes (the stored bytes)
};

// One frame's values besides the bone rotations (which the bones carry).
struct tka_frame {
    float aux_vector1[3];        // kept, not used; 0 in a rest pose
    float aux_rotation[4];       // kept, not used; 0 0 0 1 in a rest pose
    float aux_vector2[3];        // kept, not used; 0 in a rest pose
    uint16_t num_frame_strings;  // 0 when the file's frames carry none
    frame_string *frame_strings; // owned; null when num_frame_strings is 0
};

// An animation of a mesh's skeleton: per bone and frame a rotation, a local and a world matrix.
struct tka_animation {
    uint16_t header_word; // low four bits >= 2: frames carry strings; unset in a rest pose
    uint16_t name_length;
    char *name; // owned counted string
    uint16_t num_bones;
    tkm_bone *bones; // owned; frame arrays hold num_frames entries each
    uint16_t num_animated;
    uint16_t *animated_bones; // owned; bone indices the file carries rotations for
    uint16_t num_frames;
    tka_frame *frames; // owned; null when num_frames is 0
};

// A new zero-filled animation (block); null when out of memory. Release with release_animation.
tka_animation *create_animation();

// Frees everything the animation owns and the record itself; null is ignored.
void release_animation(tka_animation *animation);
// Frees count frame strings (each buffer only when its length is non-zero) and the array.
void release_frame_strings(uint16_t count, frame_string *strings);
