// SPDX-License-Identifier: MIT
// Writing TKA files: one function per file section, in the layout tka_format.h describes; a
// failed write returns the code of the field it was writing.
//
// Octets the loader skips are written as 0 (the ten header octets and the word after the bones).
// The animated bones are always listed, so an animation that read "every bone" from a count of 0
// reads back the same. Bones the file does not animate are not written: they read back with the
// mesh's bind rotation, as they were read.
#include "viewer/anim/tka_writer.h"

#include <cerrno>
#include <cstdio>

#include "support/file.h"
#include "support/scratch_write.h"
#include "viewer/anim/animation.h"
#include "viewer/anim/tka_format.h"
#include "viewer/mesh/tkm_writer.h"

namespace {

constexpr uint8_t skipped_header[10] = {};

int put_u16(FILE *stream, uint16_t value) {
    return write_uint16(stream, &value);
}

bool frames_carry_strings(uint16_t header_word) {
    return header_word % 16 >= 2;
}

int write_header(FILE *stream, const tka_animation *animation) {
    if (write_arbitrary(stream, tka_magic, sizeof tka_magic)) return tka_code_header_word;
    if (put_u16(stream, animation->header_word)) return tka_code_header_word;
    if (write_arbitrary(stream, skipped_header, sizeof skipped_header)) return tka_code_name;
    if (put_u16(stream, animation->name_length)) return tka_code_name_length;
    if (animation->name_length && !animation->name) return tka_code_name;
    if (write_arbitrary(stream, animation->name, animation->name_length)) return tka_code_name;
    return 0;
}

int write_skeleton(FILE *stream, const tka_animation *animation) {
    if (put_u16(stream, animation->num_bones)) return tka_code_bone_count;
    if (animation->num_bones && !animation->bones) return tka_code_bone_index;
    if (int code = write_bones(stream, animation->num_bones, animation->bones)) return code;
    if (put_u16(stream, 0)) return tka_code_after_bones;
    if (put_u16(stream, animation->num_animated)) return tka_code_animated_count;
    if (animation->num_animated && !animation->animated_bones) return tka_code_animated_bone;
    for (uint16_t k = 0; k < animation->num_animated; ++k)
        if (animation->animated_bones[k] >= animation->num_bones ||
            put_u16(stream, animation->animated_bones[k]))
            return tka_code_animated_bone;
    return 0;
}

int write_frame_strings(FILE *stream, const tka_frame &frame) {
    if (put_u16(stream, frame.num_frame_strings)) return tka_code_string_count;
    if (frame.num_frame_strings && !frame.frame_strings) return tka_code_string_length;
    for (uint16_t s = 0; s < frame.num_frame_strings; ++s) {
        const frame_string &string = frame.frame_strings[s];
        // The kept length is one less than the stored one, whose octets the buffer holds.
        const uint32_t stored = uint32_t{string.length} + 1;
        if (stored > 0xFFFF || put_u16(stream, static_cast<uint16_t>(stored)))
            return tka_code_string_length;
        if (!string.text || write_arbitrary(stream, string.text, stored))
            return tka_code_string_text;
    }
    return 0;
}

int write_frames(FILE *stream, const tka_animation *animation) {
    if (put_u16(stream, animation->num_frames)) return tka_code_frame_count;
    if (animation->num_frames && !animation->frames) return tka_code_aux_vector1;
    for (uint16_t f = 0; f < animation->num_frames; ++f) {
        const tka_frame &frame = animation->frames[f];
        if (write_vec3(stream, frame.aux_vector1)) return tka_code_aux_vector1;
        if (write_vec4(stream, frame.aux_rotation)) return tka_code_aux_rotation;
        if (write_vec3(stream, frame.aux_vector2)) return tka_code_aux_vector2;
        for (uint16_t k = 0; k < animation->num_animated; ++k) {
            const tkm_bone &bone = animation->bones[animation->animated_bones[k]];
            if (!bone.frame_rotations) return tka_code_frame_rotation;
            if (write_vec4(stream, bone.frame_rotations + 4 * uint32_t{f}))
                return tka_code_frame_rotation;
        }
        if (frames_carry_strings(animation->header_word))
            if (int code = write_frame_strings(stream, frame)) return code;
    }
    return 0;
}

} // namespace

int write_tka_stream(const tka_animation *animation, FILE *stream) {
    if (int code = write_header(stream, animation)) return code;
    if (int code = write_skeleton(stream, animation)) return code;
    return write_frames(stream, animation);
}

int write_tka(const tka_animation *animation, const char *path) {
    scratch_file *file = open_scratch_file(path);
    if (!file) return 1;
    int code = write_tka_stream(animation, file->stream);
    // Buffered octets reach the disk only now; a full disk may show up here, not in the writes.
    int reason = finish_scratch_file(file, code == 0);
    if (code == 0 && reason != 0) code = 17;
    errno = code ? reason : 0;
    return code;
}
