// SPDX-License-Identifier: MIT
// The animation record's life: a new empty one and the release of everything it owns.
#include "viewer/anim/animation.h"

#include "support/memory.h"

tka_animation *create_animation() {
    note_model_change();
    return alloc_elements<tka_animation>(1);
}

void release_frame_strings(uint16_t count, frame_string *strings) {
    if (!strings) return;
    // The array is zero-filled, so strings past a failed one hold no buffer; free what is there.
    for (uint16_t s = 0; s < count; ++s) {
        cleanup_one(strings[s].text);
        strings[s].text = nullptr;
        strings[s].length = 0;
    }
    cleanup_one(strings);
}

void release_animation(tka_animation *animation) {
    if (!animation) return;
    note_model_change();
    cleanup_one(animation->name);
    animation->name = nullptr;
    animation->name_length = 0;
    cleanup_one(animation->animated_bones);
    animation->animated_bones = nullptr;
    animation->num_animated = 0;
    // Frame arrays exist only when frames do, and a failed load may leave some of them null.
    release_bones(animation->num_bones, animation->bones, 1);
    animation->bones = nullptr;
    animation->num_bones = 0;
    if (animation->frames) {
        for (uint16_t f = 0; f < animation->num_frames; ++f) {
            tka_frame &frame = animation->frames[f];
            release_frame_strings(frame.num_frame_strings, frame.frame_strings);
            frame.frame_strings = nullptr;
            frame.num_frame_strings = 0;
        }
        cleanup_one(animation->frames);
    }
    animation->frames = nullptr;
    animation->num_frames = 0;
    cleanup_one(animation);
}
