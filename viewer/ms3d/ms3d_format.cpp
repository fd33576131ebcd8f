// SPDX-License-Identifier: MIT
// The Milkshape codes' descriptions, and the explanation of a failed read.
#include "viewer/ms3d/ms3d_format.h"

#include <cstring>
#include <string>

#include "viewer/ms3d/ms3d_model.h"

namespace {

// Indexed by code - 2: what each field from the id to the last position key holds.
constexpr const char *fields[] = {
    "id",
    "version",
    "vertex count",
    "flags",
    "position",
    "bone",
    "reference count",
    "triangle count",
    "flags",
    "first vertex index",
    "second vertex index",
    "third vertex index",
    "first normal",
    "second normal",
    "third normal",
    "first s",
    "second s",
    "third s",
    "first t",
    "second t",
    "third t",
    "smoothing group",
    "group index",
    "group count",
    "flags",
    "name",
    "triangle count",
    "triangle indices",
    "material index",
    "material count",
    "name",
    "ambient colour",
    "diffuse colour",
    "specular colour",
    "emissive colour",
    "shininess",
    "transparency",
    "mode",
    "texture",
    "alphamap",
    "animation fps",
    "current time",
    "total frames",
    "joint count",
    "flags",
    "name",
    "parent name",
    "rotation",
    "position",
    "rotation key count",
    "position key count",
    "rotation key time",
    "rotation key value",
    "position key time",
    "position key value",
};
static_assert(sizeof fields / sizeof fields[0] == ms3d_code_position_key_value - 1,
              "one description per field code");

// The name of record i of a section once the code shows it was read whole, else null.
const char *record_name(const ms3d_model &model, int section, uint32_t i, int code) {
    if (section == ms3d_in_groups && model.groups && code > ms3d_code_group_name)
        return model.groups[i].name;
    if (section == ms3d_in_materials && model.materials && code > ms3d_code_material_name)
        return model.materials[i].name;
    if (section == ms3d_in_joints && model.joints && code > ms3d_code_joint_name)
        return model.joints[i].name;
    return nullptr;
}

} // namespace

const char *ms3d_code_field(int code) {
    if (code < ms3d_code_id || code > ms3d_code_position_key_value) return nullptr;
    return fields[code - ms3d_code_id];
}

void explain_ms3d_failure(const ms3d_model *model, const char *path, int code,
                          const read_place &place, read_failure *failure) {
    failure->code = code;
    failure->field = ms3d_code_field(code);
    failure->message.clear();
    if (!failure->field || !model) return;
    static constexpr const char *nouns[] = {nullptr,    "vertex", "triangle", "group",
                                            "material", "joint",  nullptr};
    static constexpr const uint16_t ms3d_model::*counts[] = {nullptr,
                                                             &ms3d_model::num_vertices,
                                                             &ms3d_model::num_triangles,
                                                             &ms3d_model::num_groups,
                                                             &ms3d_model::num_materials,
                                                             &ms3d_model::num_joints,
                                                             nullptr};
    failure_where where;
    if (place.record >= 0 && place.section > ms3d_in_header && place.section < ms3d_in_extras) {
        where.record_noun = nouns[place.section];
        where.record = place.record;
        where.count = model->*counts[place.section];
        // The fixed-width name has no terminator of its own when it fills the field.
        const char *name = record_name(*model, place.section, place.record, code);
        std::string bounded;
        if (name) bounded.assign(name, strnlen(name, ms3d_name_size));
        where.name = bounded.c_str();
        compose_failure_message(path, where, nullptr, failure);
        return;
    }
    compose_failure_message(path, where, nullptr, failure);
}
