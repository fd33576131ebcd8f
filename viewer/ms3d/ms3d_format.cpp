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

// A fixed-width name, which has no terminator of its own when it fills the field.
std::string bounded(const char *name) {
    return std::string(name, strnlen(name, ms3d_name_size));
}

std::string group_name(const ms3d_model &model, uint32_t i) {
    return model.groups ? bounded(model.groups[i].name) : "";
}
std::string material_name(const ms3d_model &model, uint32_t i) {
    return model.materials ? bounded(model.materials[i].name) : "";
}
std::string joint_name(const ms3d_model &model, uint32_t i) {
    return model.joints ? bounded(model.joints[i].name) : "";
}

constexpr failure_section<ms3d_model> section_entries[] = {
    {ms3d_in_vertices, "vertex", [](const ms3d_model &m) -> uint32_t { return m.num_vertices; },
     nullptr, 0},
    {ms3d_in_triangles, "triangle", [](const ms3d_model &m) -> uint32_t { return m.num_triangles; },
     nullptr, 0},
    {ms3d_in_groups, "group", [](const ms3d_model &m) -> uint32_t { return m.num_groups; },
     group_name, ms3d_code_group_name},
    {ms3d_in_materials, "material", [](const ms3d_model &m) -> uint32_t { return m.num_materials; },
     material_name, ms3d_code_material_name},
    {ms3d_in_joints, "joint", [](const ms3d_model &m) -> uint32_t { return m.num_joints; },
     joint_name, ms3d_code_joint_name},
};

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
    const failure_where where = find_failure_where(section_entries, *model, place, code);
    compose_failure_message(path, failure->field, where, nullptr, failure);
}
