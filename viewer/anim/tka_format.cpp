// SPDX-License-Identifier: MIT
// The TKA codes' descriptions, and the explanation of a failed load.
#include "viewer/anim/tka_format.h"

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
    failure_where where;
    if (place.record >= 0) {
        switch (place.section) {
        case tka_in_bones:
            where.record_noun = "bone";
            where.count = animation->num_bones;
            // The name is whole once a later field of the record is being read.
            if (animation->bones && code > tka_code_bone_name &&
                static_cast<uint32_t>(place.record) < where.count)
                where.name = animation->bones[place.record].name;
            break;
        case tka_in_animated:
            where.record_noun = "animated bone";
            where.count = animation->num_animated;
            break;
        case tka_in_frames:
            where.record_noun = "frame";
            where.count = place.declared ? place.declared : animation->num_frames;
            break;
        default:
            break;
        }
        where.record = where.record_noun ? place.record : -1;
    }
    compose_failure_message(path, where, entry->refusal, failure);
}
