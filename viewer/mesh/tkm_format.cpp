// SPDX-License-Identifier: MIT
// The TKM codes' descriptions, and the explanation of a failed read.
#include "viewer/mesh/tkm_format.h"

#include <string>

#include "viewer/mesh/mesh.h"

namespace {

// A field: what it holds, in the words of "at its ..." or "the ...", and what is wrong with it
// when it was read whole but refused (null: only a failed read stops there).
struct code_entry {
    const char *field;
    const char *refusal;
};

constexpr const char *out_of_range = "is out of range";
constexpr const char *is_empty = "is empty";

// Indexed by code; entry 0 and 1 are not explained.
constexpr code_entry code_entries[] = {
    {nullptr, nullptr},
    {nullptr, nullptr},
    {"header word", nullptr},
    {"model name length", nullptr},
    {"model name", is_empty},
    {"bone count", nullptr},
    {"index", nullptr},
    {"name length", nullptr},
    {"name", is_empty},
    {"parent", nullptr},
    {"position", nullptr},
    {"rotation", nullptr},
    {"bone run count", nullptr},
    {"bone", out_of_range},
    {"first vertex", nullptr},
    {"vertex count", "reaches past the vertices"},
    {"pad", nullptr},
    {"end marker", nullptr},
    {"vertex count", nullptr},
    {"position", nullptr},
    {"blend vertex count", nullptr},
    {"blend_aux", nullptr},
    {"component count", nullptr},
    {"component vertex", nullptr},
    {"component weight", "names a vertex out of range"},
    {"texture coordinate count", nullptr},
    {"u and v", nullptr},
    {"corner count", nullptr},
    {"texture coordinate", out_of_range},
    {"vertex", out_of_range},
    {"aux1", nullptr},
    {"aux2", nullptr},
    {"triangle count", nullptr},
    {"corners", out_of_range},
    {"pad", nullptr},
    {"material run count", nullptr},
    {"material", out_of_range},
    {"first triangle", nullptr},
    {"triangle count", "reaches past the triangles"},
    {"pad", nullptr},
    {"list_aux", nullptr},
    {"triangle list count", nullptr},
    {"length", nullptr},
    {"entries", nullptr},
    {"texture name count", nullptr},
    {"length", nullptr},
    {"text", is_empty},
    {"pad", nullptr},
    {"material count", nullptr},
    {"index", nullptr},
    {"name length", nullptr},
    {"name", is_empty},
    {"texture reference count", nullptr},
    {"reference aux", nullptr},
    {"reference texture", out_of_range},
    {"aux_word", nullptr},
    {"diffuse colour", nullptr},
    {"ambient colour", nullptr},
    {"specular colour", nullptr},
    {"aux_float1", nullptr},
    {"transparency", nullptr},
    {"two_sided flag", nullptr},
    {"emission", nullptr},
    {"shininess", nullptr},
    {"aux_float2", nullptr},
    {nullptr, "has an empty name"},
    {nullptr, "has an empty name"},
};
constexpr int num_codes = static_cast<int>(sizeof code_entries / sizeof code_entries[0]);
static_assert(num_codes == tkm_code_grippers + 1, "one entry per code");

// A record's name, or empty while the mesh has none.
std::string name_or_empty(const char *name) {
    return name ? name : "";
}

std::string bone_name(const tkm_mesh &mesh, uint32_t i) {
    return mesh.bones ? name_or_empty(mesh.bones[i].name) : "";
}
std::string texture_path(const tkm_mesh &mesh, uint32_t i) {
    return mesh.texture_names ? name_or_empty(mesh.texture_names[i].path) : "";
}
std::string material_name(const tkm_mesh &mesh, uint32_t i) {
    return mesh.materials ? name_or_empty(mesh.materials[i].name) : "";
}
std::string grip_name(const tkm_mesh &mesh, uint32_t i) {
    return mesh.grips ? name_or_empty(mesh.grips[i].name) : "";
}
std::string gripper_name(const tkm_mesh &mesh, uint32_t i) {
    return mesh.grippers ? name_or_empty(mesh.grippers[i].name) : "";
}

// A name is shown once read whole; the grips' own name is read before any later field, and
// their list codes say nothing of which, so theirs is shown when it is there (name code 0).
constexpr failure_section<tkm_mesh> section_entries[] = {
    {tkm_in_bones, "bone", [](const tkm_mesh &m) -> uint32_t { return m.num_bones; }, bone_name,
     tkm_code_bone_name},
    {tkm_in_runs, "bone run", [](const tkm_mesh &m) -> uint32_t { return m.num_runs; }, nullptr, 0},
    {tkm_in_vertices, "vertex", [](const tkm_mesh &m) -> uint32_t { return m.num_vertices; },
     nullptr, 0},
    {tkm_in_blends, "blend vertex", [](const tkm_mesh &m) -> uint32_t { return m.num_blends; },
     nullptr, 0},
    {tkm_in_texcoords, "texture coordinate",
     [](const tkm_mesh &m) -> uint32_t { return m.num_texcoords; }, nullptr, 0},
    {tkm_in_corners, "corner", [](const tkm_mesh &m) -> uint32_t { return m.num_corners; }, nullptr,
     0},
    {tkm_in_triangles, "triangle", [](const tkm_mesh &m) -> uint32_t { return m.num_triangles; },
     nullptr, 0},
    {tkm_in_material_runs, "material run",
     [](const tkm_mesh &m) -> uint32_t { return m.num_material_runs; }, nullptr, 0},
    {tkm_in_triangle_lists, "triangle list",
     [](const tkm_mesh &m) -> uint32_t { return m.num_triangle_lists; }, nullptr, 0},
    {tkm_in_texture_names, "texture name",
     [](const tkm_mesh &m) -> uint32_t { return m.num_texture_names; }, texture_path,
     tkm_code_texture_text},
    {tkm_in_materials, "material", [](const tkm_mesh &m) -> uint32_t { return m.num_materials; },
     material_name, tkm_code_material_name},
    {tkm_in_grips, "grip", [](const tkm_mesh &m) -> uint32_t { return m.num_grips; }, grip_name, 0},
    {tkm_in_grippers, "gripper", [](const tkm_mesh &m) -> uint32_t { return m.num_grippers; },
     gripper_name, 0},
};

} // namespace

const char *tkm_code_field(int code) {
    if (code < 1 || code >= num_codes) return nullptr;
    if (code == tkm_code_not_a_tkm) return "magic";
    if (code == tkm_code_grips) return "grip list";
    if (code == tkm_code_grippers) return "gripper list";
    return code_entries[code].field;
}

void explain_tkm_failure(const tkm_mesh *mesh, const char *path, int code, const read_place &place,
                         read_failure *failure) {
    failure->code = code;
    failure->field = tkm_code_field(code);
    failure->message.clear();
    if (code <= tkm_code_not_a_tkm || code >= num_codes || !mesh) return;
    const failure_where where = find_failure_where(section_entries, *mesh, place, code);
    // A grip's field is not named by its list's code.
    const bool in_grip = place.section >= tkm_in_grips && place.record >= 0;
    compose_failure_message(path, in_grip ? nullptr : failure->field, where,
                            code_entries[code].refusal, failure);
}
