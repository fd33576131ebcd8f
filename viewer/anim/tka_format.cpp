// SPDX-License-Identifier: MIT
// The TKA codes' descriptions, and the explanation of a failed load.
#include "viewer/anim/tka_format.h"

#include <string>

#include "viewer/anim/animation.h"

namespace {

// A field of a section: what it holds, and what is wrong with it when read whole but refused.
struct field_entry {
    int section;
    int code;
    const char *field;
    const char *refusal; // null: only a failed read stops there
};

constexpr field_entry field_entries[] = {
    {tka_in_header, tka_code_header_word, "header word", nullptr},
    {tka_in_header, tka_code_name_length, "animation name length", nullptr},
    {tka_in_header, tka_code_name, "animation name", "is empty"},
    {tka_in_bones, tka_code_bone_count, "bone count", nullptr},
    {tka_in_bones, tka_code_bone_index, "index", nullptr},
    {tka_in_bones, tka_code_bone_name_length, "name length", nullptr},
    {tka_in_bones, tka_code_bone_name, "name", "is empty"},
    {tka_in_bones, tka_code_bone_parent, "parent", nullptr},
    {tka_in_bones, tka_code_bone_position, "position", nullptr},
    {tka_in_bones, tka_code_bone_rotation, "rotation", nullptr},
    {tka_in_animated, tka_code_after_bones, "value after the bones", nullptr},
    {tka_in_animated, tka_code_animated_count, "animated bone count", nullptr},
    {tka_in_animated, tka_code_animated_bone, "bone", "is out of range"},
    {tka_in_frames, tka_code_frame_count, "frame count", nullptr},
    {tka_in_frames, tka_code_aux_vector1, "aux_vector1", nullptr},
    {tka_in_frames, tka_code_aux_rotation, "aux_rotation", nullptr},
    {tka_in_frames, tka_code_aux_vector2, "aux_vector2", nullptr},
    {tka_in_frames, tka_code_frame_rotation, "bone rotations", nullptr},
    {tka_in_frames, tka_code_string_count, "string count", nullptr},
    {tka_in_frames, tka_code_string_length, "string length", nullptr},
    {tka_in_frames, tka_code_string_text, "string", "is empty"},
};

std::string bone_name(const tka_animation &animation, uint32_t i) {
    return animation.bones && animation.bones[i].name ? animation.bones[i].name : "";
}

// A frame's count is the one the file declared, which the loader puts in the place.
constexpr failure_section<tka_animation> section_entries[] = {
    {tka_in_bones, "bone", [](const tka_animation &a) -> uint32_t { return a.num_bones; },
     bone_name, tka_code_bone_name},
    {tka_in_animated, "animated bone",
     [](const tka_animation &a) -> uint32_t { return a.num_animated; }, nullptr, 0},
    {tka_in_frames, "frame", [](const tka_animation &a) -> uint32_t { return a.num_frames; },
     nullptr, 0},
};

const field_entry *find_field(int section, int code) {
    for (const field_entry &entry : field_entries)
        if (entry.section == section && entry.code == code) return &entry;
    return nullptr;
}

} // namespace

const char *tka_code_field(int section, int code) {
    const field_entry *entry = find_field(section, code);
    return entry ? entry->field : nullptr;
}

void explain_tka_failure(const tka_animation *animation, const char *path, int code,
                         const read_place &place, read_failure *failure) {
    failure->code = code;
    const field_entry *entry = find_field(place.section, code);
    failure->field = entry ? entry->field : nullptr;
    failure->message.clear();
    if (!entry || !animation) return;
    const failure_where where = find_failure_where(section_entries, *animation, place, code);
    compose_failure_message(path, failure->field, where, entry->refusal, failure);
}
