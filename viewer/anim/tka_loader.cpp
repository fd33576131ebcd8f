// SPDX-License-Identifier: MIT
// Loading TKA animations: header, skeleton, animated-bone list, then the frames. The on-disk
// layout and the codes are in tka_format.h.
#include "viewer/anim/tka_loader.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "support/memory.h"
#include "support/messages.h"
#include "viewer/anim/tka_format.h"
#include "viewer/mesh/binary_read.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/math/math3d.h"

namespace {

bool frames_carry_strings(uint16_t header_word) {
    return header_word % 16 >= 2;
}

int read_header(byte_reader *in, tka_animation *animation, const char *path, read_place &place,
                read_failure *record) {
    place = {tka_in_header, -1, 0};
    // A wrong or short magic tells the mesh reader's own "is not a TKM" text.
    if (int code = read_magic(in, tka_magic, path, record)) return code;
    if (get_u16(in, &animation->header_word)) return tka_code_header_word;
    if (skip_bytes(in, 10)) return tka_code_name;
    if (get_u16(in, &animation->name_length)) return tka_code_name_length;
    animation->name = alloc_counted_string(nullptr, animation->name_length);
    if (!animation->name || get_bytes(in, animation->name, animation->name_length))
        return tka_code_name;
    return 0;
}

int read_skeleton(byte_reader *in, tka_animation *animation, const tkm_mesh *mesh,
                  read_place &place, read_failure *record) {
    place = {tka_in_bones, -1, 0};
    uint16_t count = 0;
    if (get_u16(in, &count)) return tka_code_bone_count;
    animation->bones = alloc_elements<tkm_bone>(count);
    if (!animation->bones) return tka_code_bone_count;
    animation->num_bones = count;
    if (int code = read_bones_at(in, count, animation->bones, &place.record)) return code;
    if (count != mesh->num_bones) {
        record->notice = "Number of bones in animation (" + std::to_string(count) +
                         ") doesn't match mesh (" + std::to_string(mesh->num_bones) + ")";
        // The viewer has always said this with its information, not its errors.
        record->notice_outlet = failure_outlet_information;
        return tka_code_not_usable;
    }
    return 0;
}

int read_animated_list(byte_reader *in, tka_animation *animation, read_place &place) {
    place = {tka_in_animated, -1, 0};
    if (skip_bytes(in, 2)) return tka_code_after_bones;
    uint16_t count = 0;
    if (get_u16(in, &count)) return tka_code_animated_count;
    uint16_t listed = count != 0 ? count : animation->num_bones;
    animation->animated_bones = alloc_elements<uint16_t>(listed);
    if (!animation->animated_bones) return tka_code_animated_count;
    animation->num_animated = listed;
    for (uint16_t k = 0; k < listed; ++k) {
        place.record = k;
        uint16_t bone = k;
        if (count != 0 && (get_u16(in, &bone) || bone >= animation->num_bones))
            return tka_code_animated_bone;
        animation->animated_bones[k] = bone;
        animation->bones[bone].animated = 1;
    }
    return 0;
}

// Reads one frame's strings into frame; 0, 14, 15 or 16.
int read_frame_strings(byte_reader *in, tka_frame &frame) {
    uint16_t count = 0;
    if (get_u16(in, &count)) return tka_code_string_count;
    if (count == 0) return 0;
    frame.frame_strings = alloc_elements<frame_string>(count);
    if (!frame.frame_strings) return tka_code_string_count;
    frame.num_frame_strings = count;
    for (uint16_t s = 0; s < count; ++s) {
        frame_string &string = frame.frame_strings[s];
        uint16_t stored = 0;
        if (get_u16(in, &stored)) return tka_code_string_length;
        // One octet more than stored, so a string stored without its own 0 still ends in one.
        string.text = alloc_counted_string(nullptr, stored);
        if (!string.text || get_bytes(in, string.text, stored)) return tka_code_string_text;
        string.length = static_cast<uint16_t>(stored - 1);
    }
    return 0;
}

// Reads frame f's values, rotations into rotation_of(k) for the k-th animated bone; 0 or 10 to 16.
template <typename Destination>
int read_frame(byte_reader *in, const tka_animation *animation, tka_frame &frame,
               Destination rotation_of) {
    if (get_vec3(in, frame.aux_vector1)) return tka_code_aux_vector1;
    if (get_vec4(in, frame.aux_rotation)) return tka_code_aux_rotation;
    if (get_vec3(in, frame.aux_vector2)) return tka_code_aux_vector2;
    for (uint16_t k = 0; k < animation->num_animated; ++k)
        if (get_vec4(in, rotation_of(k))) return tka_code_frame_rotation;
    if (frames_carry_strings(animation->header_word)) return read_frame_strings(in, frame);
    return 0;
}

// The file cannot hold the frames it declares: read them into scratch space to find the field
// the file ends in, instead of allocating for frames that are not there.
int find_truncated_frame(byte_reader *in, const tka_animation *animation, uint16_t num_frames,
                         read_place &place) {
    float rotation[4];
    for (uint16_t f = 0; f < num_frames; ++f) {
        place.record = f;
        tka_frame scratch{};
        int code = read_frame(in, animation, scratch, [&](uint16_t) { return rotation; });
        release_frame_strings(scratch.num_frame_strings, scratch.frame_strings);
        if (code) return code;
    }
    return tka_code_frame_count;
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

int read_frames(byte_reader *in, tka_animation *animation, const tkm_mesh *mesh, const char *path,
                read_place &place, read_failure *record) {
    place = {tka_in_frames, -1, 0};
    uint16_t num_frames = 0;
    if (get_u16(in, &num_frames)) return tka_code_frame_count;
    place.declared = num_frames;
    // Nothing could be posed or drawn from it: refused like any other unusable file.
    if (num_frames == 0) {
        record->notice = std::string(path) + " has no frames";
        record->notice_outlet = failure_outlet_error;
        return tka_code_no_frames;
    }
    uint64_t smallest_frame = 40 + 16 * uint64_t{animation->num_animated} +
                              (frames_carry_strings(animation->header_word) ? 2 : 0);
    if (!records_fit(in, num_frames, smallest_frame))
        return find_truncated_frame(in, animation, num_frames, place);

    animation->frames = alloc_elements<tka_frame>(num_frames);
    if (!animation->frames) return tka_code_frame_count;
    animation->num_frames = num_frames;
    for (uint16_t i = 0; i < animation->num_bones; ++i) {
        tkm_bone &bone = animation->bones[i];
        bone.frame_rotations = alloc_elements<float>(4 * uint32_t{num_frames});
        bone.frame_locals = alloc_elements<float>(16 * uint32_t{num_frames});
        bone.frame_worlds = alloc_elements<float>(16 * uint32_t{num_frames});
        if (!bone.frame_rotations || !bone.frame_locals || !bone.frame_worlds)
            return tka_code_frame_count;
        // Bones the file does not animate keep the mesh's bind rotation in every frame.
        for (uint16_t f = 0; f < num_frames; ++f)
            std::memcpy(bone.frame_rotations + 4 * uint32_t{f}, mesh->bones[i].rotation,
                        4 * sizeof(float));
    }
    for (uint16_t f = 0; f < num_frames; ++f) {
        place.record = f;
        auto rotation_of = [&](uint16_t k) {
            return animation->bones[animation->animated_bones[k]].frame_rotations + 4 * uint32_t{f};
        };
        if (int code = read_frame(in, animation, animation->frames[f], rotation_of)) return code;
        derive_frame_matrices(animation, mesh, f);
    }
    return 0;
}

int read_sections(byte_reader *in, tka_animation *animation, const tkm_mesh *mesh, const char *path,
                  read_place &place, read_failure *record) {
    if (int code = read_header(in, animation, path, place, record)) return code;
    if (int code = read_skeleton(in, animation, mesh, place, record)) return code;
    if (int code = read_animated_list(in, animation, place)) return code;
    return read_frames(in, animation, mesh, path, place, record);
}

} // namespace

int load_tka(tka_animation *animation, const tkm_mesh *mesh, const char *path) {
    return load_tka_explained(animation, mesh, path, nullptr);
}

int load_tka_explained(tka_animation *animation, const tkm_mesh *mesh, const char *path,
                       read_failure *failure) {
    if (failure) *failure = read_failure{};
    if (!mesh) return tka_code_not_usable; // an animation is always loaded for a mesh
    std::vector<uint8_t> bytes;
    int reason = 0;
    if (read_file_bytes(path, &bytes, &reason) != file_bytes_read) {
        if (failure) failure->reason = reason;
        return tka_code_not_usable;
    }
    return load_tka_memory(animation, mesh, bytes.data(), bytes.size(), path, failure);
}

int load_tka_memory(tka_animation *animation, const tkm_mesh *mesh, const uint8_t *data,
                    size_t size, const char *path, read_failure *failure) {
    if (failure) *failure = read_failure{};
    if (!mesh) return tka_code_not_usable;
    // Without a record to hand it to, the loader's notice is printed here.
    read_failure own;
    read_failure *record = failure ? failure : &own;
    byte_reader in = make_byte_reader(data, size);
    read_place place;
    int code = read_sections(&in, animation, mesh, path, place, record);
    if (code) {
        note_stop(in, record);
        explain_tka_failure(animation, path, code, place, record);
    }
    if (!failure) print_failure_notice(own);
    return code;
}
