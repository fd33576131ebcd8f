// SPDX-License-Identifier: MIT
// Value checks of tkmtool check. A fault repeated over many records is reported once, at its
// first record, with how many more share it: a modder fixes the export, not each vertex.
#include "check_values.h"

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/files/directory_search.h"
#include "viewer/files/path_names.h"
#include "viewer/mesh/mesh.h"

namespace {

// Every count and index of a TKM or TKA file is 16 bits.
constexpr uint32_t tkm_count_limit = UINT16_MAX;

// A float32 quaternion normalised in double and rounded carries an error near 1e-7, and one
// exported as text with four or five decimals up to about 1e-4; a length off by more than a
// thousandth was never normalised, and its rotation also scales what it moves by that much.
constexpr double unit_quaternion_tolerance = 1e-3;

// "bone 3 of 52 (Bip01)", or without the name when it is empty.
std::string record_text(const char *noun, uint32_t index, uint32_t count, const char *name) {
    std::string text =
        std::string(noun) + " " + std::to_string(index) + " of " + std::to_string(count);
    if (name && *name) text += std::string(" (") + name + ")";
    return text;
}

bool all_finite(const float *values, uint32_t count) {
    for (uint32_t i = 0; i < count; ++i)
        if (!std::isfinite(values[i])) return false;
    return true;
}

double quaternion_length(const float *q) {
    return std::sqrt(double{q[0]} * q[0] + double{q[1]} * q[1] + double{q[2]} * q[2] +
                     double{q[3]} * q[3]);
}

// The first faulty record of a kind and how many there are, reported once.
struct fault_tally {
    uint32_t count = 0;
    std::string first_record;
    std::string first_detail;
    void note(const std::string &record, const std::string &detail) {
        if (count++ == 0) {
            first_record = record;
            first_detail = detail;
        }
    }
    // Adds the finding "<record> <detail> (and N more <plural>); <advice>".
    void report_to(file_report *report, int code, const char *plural, const char *advice) const {
        if (count == 0) return;
        std::string message = first_record + " " + first_detail;
        if (count > 1) message += " (and " + std::to_string(count - 1) + " more " + plural + ")";
        finding &added = add_finding(report, code, message + "; " + advice);
        added.record = first_record;
    }
};

constexpr const char *non_finite_advice = "re-export the model: the game cannot place it";

// One kind of mesh record whose floats must be finite.
struct float_section {
    const char *noun;
    const char *plural;
    const char *what; // what the floats are
    uint16_t (*count)(const tkm_mesh &mesh);
    const float *(*values)(const tkm_mesh &mesh, uint32_t index, uint32_t *num_values);
    const char *(*name)(const tkm_mesh &mesh, uint32_t index); // null: no names
};

constexpr float_section float_sections[] = {
    {"bone", "bones", "position", [](const tkm_mesh &m) { return m.num_bones; },
     [](const tkm_mesh &m, uint32_t i, uint32_t *n) -> const float * {
         *n = 3;
         return m.bones[i].position;
     },
     [](const tkm_mesh &m, uint32_t i) -> const char * { return m.bones[i].name; }},
    {"bone", "bones", "rotation", [](const tkm_mesh &m) { return m.num_bones; },
     [](const tkm_mesh &m, uint32_t i, uint32_t *n) -> const float * {
         *n = 4;
         return m.bones[i].rotation;
     },
     [](const tkm_mesh &m, uint32_t i) -> const char * { return m.bones[i].name; }},
    {"vertex", "vertices", "position", [](const tkm_mesh &m) { return m.num_vertices; },
     [](const tkm_mesh &m, uint32_t i, uint32_t *n) -> const float * {
         *n = 3;
         return m.vertices[i].local + 12;
     },
     nullptr},
    {"texture coordinate", "texture coordinates", "value",
     [](const tkm_mesh &m) { return m.num_texcoords; },
     [](const tkm_mesh &m, uint32_t i, uint32_t *n) -> const float * {
         *n = 2;
         return &m.texcoords[i].u;
     },
     nullptr},
    {"grip", "grips", "placement", [](const tkm_mesh &m) { return m.num_grips; },
     [](const tkm_mesh &m, uint32_t i, uint32_t *n) -> const float * {
         *n = 16;
         return m.grips[i].local;
     },
     [](const tkm_mesh &m, uint32_t i) -> const char * { return m.grips[i].name; }},
    {"gripper", "grippers", "placement", [](const tkm_mesh &m) { return m.num_grippers; },
     [](const tkm_mesh &m, uint32_t i, uint32_t *n) -> const float * {
         *n = 16;
         return m.grippers[i].local;
     },
     [](const tkm_mesh &m, uint32_t i) -> const char * { return m.grippers[i].name; }},
};

// One count of a mesh that the format caps.
struct limited_count {
    const char *plural;
    uint16_t (*count)(const tkm_mesh &mesh);
};

constexpr limited_count limited_counts[] = {
    {"bones", [](const tkm_mesh &m) { return m.num_bones; }},
    {"vertices", [](const tkm_mesh &m) { return m.num_vertices; }},
    {"blend vertices", [](const tkm_mesh &m) { return m.num_blends; }},
    {"texture coordinates", [](const tkm_mesh &m) { return m.num_texcoords; }},
    {"corners", [](const tkm_mesh &m) { return m.num_corners; }},
    {"triangles", [](const tkm_mesh &m) { return m.num_triangles; }},
    {"materials", [](const tkm_mesh &m) { return m.num_materials; }},
    {"texture names", [](const tkm_mesh &m) { return m.num_texture_names; }},
};

void check_rotations(const tkm_mesh &mesh, file_report *report) {
    fault_tally tally;
    for (uint32_t i = 0; i < mesh.num_bones; ++i) {
        const float *q = mesh.bones[i].rotation;
        if (!all_finite(q, 4)) continue; // told as a number that is not finite
        double length = quaternion_length(q);
        if (std::fabs(length - 1.0) > unit_quaternion_tolerance)
            tally.note(record_text("bone", i, mesh.num_bones, mesh.bones[i].name),
                       "has a rotation of length " + std::to_string(length) + ", not 1");
    }
    tally.report_to(report, finding_non_unit_quaternion, "bones",
                    "normalise the bone rotations in the exporter");
}

// Which stored vertices a bone run covers.
std::vector<bool> carried_vertices(const tkm_mesh &mesh) {
    std::vector<bool> carried(mesh.num_vertices, false);
    for (uint32_t r = 0; r < mesh.num_runs; ++r) {
        const bone_run &run = mesh.runs[r];
        for (uint32_t v = run.first_vertex;
             v < uint32_t{run.first_vertex} + run.vertex_count && v < mesh.num_vertices; ++v)
            carried[v] = true;
    }
    return carried;
}

void check_carried(const tkm_mesh &mesh, file_report *report) {
    std::vector<bool> carried = carried_vertices(mesh);
    fault_tally corners;
    for (uint32_t c = 0; c < mesh.num_corners; ++c) {
        uint16_t vertex = mesh.corners[c].vertex;
        if (vertex < mesh.num_vertices && !carried[vertex])
            corners.note(record_text("corner", c, mesh.num_corners, nullptr),
                         "is on vertex " + std::to_string(vertex) + ", which no bone run carries");
    }
    corners.report_to(report, finding_uncarried_vertex, "corners",
                      "bind every vertex to a bone (a run of the vertex list)");
    fault_tally blends;
    for (uint32_t b = 0; b < mesh.num_blends; ++b)
        for (uint32_t k = 0; k < mesh.blends[b].count; ++k) {
            uint16_t vertex = mesh.blends[b].vertices[k];
            if (vertex < mesh.num_vertices && !carried[vertex]) {
                blends.note(record_text("blend vertex", b, mesh.num_blends, nullptr),
                            "mixes vertex " + std::to_string(vertex) +
                                ", which no bone run carries");
                break;
            }
        }
    blends.report_to(report, finding_uncarried_vertex, "blend vertices",
                     "bind every vertex to a bone (a run of the vertex list)");
}

} // namespace

void check_mesh_values(const tkm_mesh &mesh, file_report *report) {
    for (const float_section &section : float_sections) {
        fault_tally tally;
        const uint32_t count = section.count(mesh);
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t num_values = 0;
            const float *values = section.values(mesh, i, &num_values);
            if (!all_finite(values, num_values))
                tally.note(record_text(section.noun, i, count,
                                       section.name ? section.name(mesh, i) : nullptr),
                           std::string("has a NaN or infinite ") + section.what);
        }
        tally.report_to(report, finding_non_finite_number, section.plural, non_finite_advice);
    }
    check_rotations(mesh, report);
    check_carried(mesh, report);
    for (const limited_count &limit : limited_counts)
        if (limit.count(mesh) >= tkm_count_limit)
            add_finding(report, finding_at_format_limit,
                        std::to_string(limit.count(mesh)) + " " + limit.plural +
                            ": the most a TKM file holds; the model cannot grow any further");
}

namespace {

// A class of the game whose models need attachments, and what the mesh is told when it has none.
struct attachment_rule {
    uint16_t num_bones;
    bool by_grips; // false: grippers
    int code;
    const char *message;
};

// Hostages, the priest and children (34, 37, 40 bones without grippers) hold nothing, and are
// classed so; an officer is an officer either way, and a weapon without grips is no class.
constexpr attachment_rule attachment_rules[] = {
    {2, true, finding_weapon_without_grips,
     "2 bones make a weapon, but the mesh has no grips: no hand can hold it; add the grips "
     "(empties on the bones in Blender)"},
    {52, false, finding_character_without_grippers,
     "52 bones make an officer, but the mesh has no grippers: the officer cannot hold a weapon; "
     "add the grippers (a Milkshape or glTF conversion gives the default ones)"},
};

} // namespace

void check_mesh_class(const tkm_mesh &mesh, file_report *report) {
    for (const attachment_rule &rule : attachment_rules) {
        if (rule.num_bones != mesh.num_bones) continue;
        if ((rule.by_grips ? mesh.num_grips : mesh.num_grippers) == 0)
            add_finding(report, rule.code, rule.message);
        return;
    }
    const char *class_name = mesh.class_name ? mesh.class_name : model_class_name(&mesh);
    if (std::string(class_name) == "unknown")
        add_finding(report, finding_unknown_bone_count,
                    std::to_string(mesh.num_bones) +
                        " bones make no class of the game (2 for a weapon; 34, 37, 40 or 52 "
                        "for a character): the game's animations cannot play on it");
}

void check_textures(const tkm_mesh &mesh, const std::string &path, file_report *report) {
    std::string directory = directory_of(path);
    if (directory.empty()) directory = ".";
    for (uint32_t i = 0; i < mesh.num_texture_names; ++i) {
        const texture_name &name = mesh.texture_names[i];
        std::string found;
        if (name.base && find_name_case_blind(directory.c_str(), name.base, found)) continue;
        std::string record = record_text("texture", i, mesh.num_texture_names, name.path);
        finding &added =
            add_finding(report, finding_texture_not_found,
                        record + ": no file named " + (name.base ? name.base : "") +
                            " (in any letter case) is beside the mesh; put the image there or "
                            "change the material's texture");
        added.record = record;
    }
}

void check_animation_values(const tka_animation &animation, file_report *report) {
    fault_tally positions, rotations, lengths;
    for (uint32_t i = 0; i < animation.num_bones; ++i) {
        const tkm_bone &bone = animation.bones[i];
        std::string record = record_text("bone", i, animation.num_bones, bone.name);
        if (!all_finite(bone.position, 3)) positions.note(record, "has a NaN or infinite position");
        if (!all_finite(bone.rotation, 4))
            rotations.note(record, "has a NaN or infinite rotation");
        else if (std::fabs(quaternion_length(bone.rotation) - 1.0) > unit_quaternion_tolerance)
            lengths.note(record, "has a rotation of length " +
                                     std::to_string(quaternion_length(bone.rotation)) + ", not 1");
    }
    fault_tally keys, key_lengths;
    for (uint32_t k = 0; k < animation.num_animated; ++k) {
        uint16_t b = animation.animated_bones[k];
        const tkm_bone &bone = animation.bones[b];
        for (uint32_t f = 0; f < animation.num_frames; ++f) {
            const float *q = bone.frame_rotations + 4 * f;
            std::string record = "frame " + std::to_string(f) + " of " +
                                 std::to_string(animation.num_frames) + ", " +
                                 record_text("bone", b, animation.num_bones, bone.name);
            if (!all_finite(q, 4))
                keys.note(record, "has a NaN or infinite rotation");
            else if (std::fabs(quaternion_length(q) - 1.0) > unit_quaternion_tolerance)
                key_lengths.note(record, "has a rotation of length " +
                                             std::to_string(quaternion_length(q)) + ", not 1");
        }
    }
    positions.report_to(report, finding_non_finite_number, "bones", non_finite_advice);
    rotations.report_to(report, finding_non_finite_number, "bones", non_finite_advice);
    keys.report_to(report, finding_non_finite_number, "keys", non_finite_advice);
    lengths.report_to(report, finding_non_unit_quaternion, "bones",
                      "normalise the bone rotations in the exporter");
    key_lengths.report_to(report, finding_non_unit_quaternion, "keys",
                          "normalise the key rotations in the exporter");
}
