// SPDX-License-Identifier: MIT
// Loading TKA animations: header, skeleton, animated-bone list, then the frames.
//
// On-disk layout (little-endian, u16 unless noted):
//   header    16 magic, header_word, 10 skipped octets, name length, name
//   bones     count; bone records as in a TKM file (own index, name, parent, position, rotation)
//   skipped   u16
//   animated  count (0: every bone), then that many bone indices
//   frames    count; per frame: vec3 aux_vector1, 4 x f32 aux_rotation, vec3 aux_vector2,
//             a quaternion per animated bone in list order, and when header_word % 16 >= 2:
//             a string count, then per string its length L and L octets
#include "viewer/anim/animation.h"

#include <cstring>

#include "support/file.h"
#include "viewer/mesh/binary_read.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/math/math3d.h"

namespace {

constexpr uint8_t tka_magic[16] = {0xCF, 0xD0, 0x09, 0xA8, 0x2A, 0x1F, 0xD2, 0x11,
                                   0x87, 0x49, 0x00, 0x20, 0xAF, 0xE6, 0x36, 0xEE};

bool frames_carry_strings(uint16_t header_word) {
    return header_word % 16 >= 2;
}

int read_header(FILE *stream, tka_animation *animation, const char *path) {
    // A wrong or short magic prints the mesh reader's own "is not a TKM" text.
    if (int code = read_magic(stream, tka_magic, path)) return code;
    if (get_u16(stream, &animation->header_word)) return 2;
    if (skip_bytes(stream, 10)) return 4;
    if (get_u16(stream, &animation->name_length)) return 3;
    animation->name = alloc_counted_string(nullptr, animation->name_length);
    if (!animation->name || get_bytes(stream, animation->name, animation->name_length)) return 4;
    return 0;
}

int read_skeleton(FILE *stream, tka_animation *animation, const tkm_mesh *mesh) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 5;
    animation->bones = alloc_elements<tkm_bone>(count);
    if (!animation->bones) return 5;
    animation->num_bones = count;
    if (int code = read_bones(stream, count, animation->bones)) return code;
    if (count != mesh->num_bones) {
        real_purr("Number of bones in animation (%u) doesn't match mesh (%u)\n", unsigned{count},
                  unsigned{mesh->num_bones});
        return 1;
    }
    return 0;
}

int read_animated_list(FILE *stream, tka_animation *animation) {
    if (skip_bytes(stream, 2)) return 6;
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 7;
    uint16_t listed = count != 0 ? count : animation->num_bones;
    animation->animated_bones = alloc_elements<uint16_t>(listed);
    if (!animation->animated_bones) return 7;
    animation->num_animated = listed;
    for (uint16_t k = 0; k < listed; ++k) {
        uint16_t bone = k;
        if (count != 0 && (get_u16(stream, &bone) || bone >= animation->num_bones)) return 8;
        animation->animated_bones[k] = bone;
        animation->bones[bone].animated = 1;
    }
    return 0;
}

// Reads one frame's strings into frame; 0, 14, 15 or 16.
int read_frame_strings(FILE *stream, tka_frame &frame) {
    uint16_t count = 0;
    if (get_u16(stream, &count)) return 14;
    if (count == 0) return 0;
    frame.frame_strings = alloc_elements<frame_string>(count);
    if (!frame.frame_strings) return 14;
    frame.num_frame_strings = count;
    for (uint16_t s = 0; s < count; ++s) {
        frame_string &string = frame.frame_strings[s];
        uint16_t stored = 0;
        if (get_u16(stream, &stored)) return 15;
        // One octet more than stored, so a string stored without its own 0 still ends in one.
        string.text = alloc_counted_string(nullptr, stored);
        if (!string.text || get_bytes(stream, string.text, stored)) return 16;
        string.length = static_cast<uint16_t>(stored - 1);
    }
    return 0;
}

// Reads frame f's values, rotations into rotation_of(k) for the k-th animated bone; 0 or 10 to 16.
template <typename Destination>
int read_frame(FILE *stream, const tka_animation *animation, tka_frame &frame,
               Destination rotation_of) {
    if (get_vec3(stream, frame.aux_vector1)) return 10;
    if (get_vec4(stream, frame.aux_rotation)) return 11;
    if (get_vec3(stream, frame.aux_vector2)) return 12;
    for (uint16_t k = 0; k < animation->num_animated; ++k)
        if (get_vec4(stream, rotation_of(k))) return 13;
    if (frames_carry_strings(animation->header_word)) return read_frame_strings(stream, frame);
    return 0;
}

// The file cannot hold the frames it declares: read them into scratch space to find the field
// the file ends in, instead of allocating for frames that are not there.
int find_truncated_frame(FILE *stream, const tka_animation *animation, uint16_t num_frames) {
    float rotation[4];
    for (uint16_t f = 0; f < num_frames; ++f) {
        tka_frame scratch{};
        int code = read_frame(stream, animation, scratch, [&](uint16_t) { return rotation; });
        release_frame_strings(scratch.num_frame_strings, scratch.frame_strings);
        if (code) return code;
    }
    return 9;
}

// Frame f's local and world matrices for every bone (parents come before their children).
void derive_frame_matrices(tka_animation *animation, const tkm_mesh *mesh, uint16_t f) {
    for (uint16_t i = 0; i < animation->num_bones; ++i) {
        tkm_bone &bone = animation->bones[i];
        float *local = bone.frame_locals + 16 * uint32_t{f};
        float *world = bone.frame_worlds + 16 * uint32_t{f};
        quat_to_mat4(local, bone.frame_rotations + 4 * uint32_t{f});
        local[12] = mesh->bones[i].position[0];
        local[13] = mesh->bones[i].position[1];
        local[14] = mesh->bones[i].position[2];
        if (has_parent(bone.parent, i))
            mat4_multiply(world, animation->bones[bone.parent].frame_worlds + 16 * uint32_t{f},
                          local);
        else
            std::memcpy(world, local, 16 * sizeof(float));
    }
}

int read_frames(FILE *stream, tka_animation *animation, const tkm_mesh *mesh, const char *path) {
    uint16_t num_frames = 0;
    if (get_u16(stream, &num_frames)) return 9;
    // Nothing could be posed or drawn from it: refused like any other unusable file.
    if (num_frames == 0) {
        real_meow("%s has no frames\n", path);
        return 17;
    }
    uint64_t smallest_frame = 40 + 16 * uint64_t{animation->num_animated} +
                              (frames_carry_strings(animation->header_word) ? 2 : 0);
    if (!records_fit(stream, num_frames, smallest_frame))
        return find_truncated_frame(stream, animation, num_frames);

    animation->frames = alloc_elements<tka_frame>(num_frames);
    if (!animation->frames) return 9;
    animation->num_frames = num_frames;
    for (uint16_t i = 0; i < animation->num_bones; ++i) {
        tkm_bone &bone = animation->bones[i];
        bone.frame_rotations = alloc_elements<float>(4 * uint32_t{num_frames});
        bone.frame_locals = alloc_elements<float>(16 * uint32_t{num_frames});
        bone.frame_worlds = alloc_elements<float>(16 * uint32_t{num_frames});
        if (!bone.frame_rotations || !bone.frame_locals || !bone.frame_worlds) return 9;
        // Bones the file does not animate keep the mesh's bind rotation in every frame.
        for (uint16_t f = 0; f < num_frames; ++f)
            std::memcpy(bone.frame_rotations + 4 * uint32_t{f}, mesh->bones[i].rotation,
                        4 * sizeof(float));
    }
    for (uint16_t f = 0; f < num_frames; ++f) {
        auto rotation_of = [&](uint16_t k) {
            return animation->bones[animation->animated_bones[k]].frame_rotations + 4 * uint32_t{f};
        };
        if (int code = read_frame(stream, animation, animation->frames[f], rotation_of))
            return code;
        derive_frame_matrices(animation, mesh, f);
    }
    return 0;
}

int read_sections(FILE *stream, tka_animation *animation, const tkm_mesh *mesh, const char *path) {
    if (int code = read_header(stream, animation, path)) return code;
    if (int code = read_skeleton(stream, animation, mesh)) return code;
    if (int code = read_animated_list(stream, animation)) return code;
    return read_frames(stream, animation, mesh, path);
}

} // namespace

tka_animation *create_animation() {
    note_model_change();
    return alloc_elements<tka_animation>(1);
}

int load_tka(tka_animation *animation, const tkm_mesh *mesh, const char *path) {
    if (!mesh) return 1; // an animation is always loaded for a mesh
    FILE *stream = open_read(path);
    if (!stream) return 1;
    int code = read_sections(stream, animation, mesh, path);
    close_file(stream);
    return code;
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
