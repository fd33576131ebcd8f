// SPDX-License-Identifier: MIT
// JSON text of meshes and animations.
#include "json_output.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "viewer/anim/animation.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/read_failure.h"

std::string json_float(float value) {
    if (std::isnan(value)) return "\"nan\"";
    if (std::isinf(value)) return value < 0 ? "\"-inf\"" : "\"inf\"";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

namespace {

// The length of the well-formed UTF-8 sequence at text (2 to 4 octets), or 0 when the octets there
// are none: a stray continuation, a cut sequence, an overlong form, a surrogate or a code point
// past U+10FFFF. The second octet's range follows from the lead octet (RFC 3629, section 4).
int utf8_sequence_length(const unsigned char *text) {
    struct lead_range {
        unsigned char first, last; // lead octets
        unsigned char low, high;   // what the second octet may be
        int length;
    };
    static constexpr lead_range leads[] = {
        {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3}, {0xE1, 0xEC, 0x80, 0xBF, 3},
        {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3}, {0xF0, 0xF0, 0x90, 0xBF, 4},
        {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
    };
    for (const lead_range &lead : leads) {
        if (text[0] < lead.first || text[0] > lead.last) continue;
        if (text[1] < lead.low || text[1] > lead.high) return 0;
        for (int i = 2; i < lead.length; ++i)
            if (text[i] < 0x80 || text[i] > 0xBF) return 0;
        return lead.length;
    }
    return 0;
}

} // namespace

std::string json_string(const char *text) {
    std::string out = "\"";
    const auto *at = reinterpret_cast<const unsigned char *>(text ? text : "");
    while (*at) {
        const unsigned char c = *at;
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c <= 0x7E) {
            out += static_cast<char>(c);
        } else if (int length = c >= 0x80 ? utf8_sequence_length(at) : 0; length > 0) {
            // JSON text is UTF-8: a file name in Cyrillic or with accents stays readable. The
            // zero that ends text is no continuation octet, so a cut sequence never reads past it.
            out.append(reinterpret_cast<const char *>(at), static_cast<size_t>(length));
            at += length;
            continue;
        } else {
            // Any other octet as the Latin-1 character of its value, as names read from TKM files
            // always have been.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", unsigned{c});
            out += escape;
        }
        ++at;
    }
    return out + "\"";
}

std::string error_json(const char *stage, int code, const read_failure &detail) {
    const bool told = !detail.message.empty();
    return "{\"error\": {\"stage\": " + json_string(stage) + ", \"code\": " + std::to_string(code) +
           ", \"field\": " + (told && detail.field ? json_string(detail.field) : "null") +
           ", \"offset\": " +
           (told && detail.offset >= 0 ? std::to_string(detail.offset) : "null") +
           ", \"message\": " + (told ? json_string(detail.message.c_str()) : "null") + "}}";
}

namespace {

// Appends "[a,b,...]" built by item(i) for i < count.
template <typename Item> void put_array(std::string &out, uint32_t count, Item item) {
    out += '[';
    for (uint32_t i = 0; i < count; ++i) {
        if (i) out += ',';
        item(i);
    }
    out += ']';
}

void put_floats(std::string &out, const float *values, uint32_t count) {
    put_array(out, count, [&](uint32_t i) { out += json_float(values[i]); });
}

template <typename T> void put_ints(std::string &out, const T *values, uint32_t count) {
    put_array(out, count, [&](uint32_t i) { out += std::to_string(values[i]); });
}

void put_key(std::string &out, const char *key, bool first = false) {
    if (!first) out += ',';
    out += json_string(key);
    out += ':';
}

void put_grippers(std::string &out, uint16_t count, const gripper *list) {
    put_array(out, count, [&](uint32_t i) {
        const gripper &g = list[i];
        out += '{';
        put_key(out, "name", true);
        out += json_string(g.name);
        put_key(out, "bone");
        out += std::to_string(g.bone);
        put_key(out, "local");
        put_floats(out, g.local, 16);
        out += '}';
    });
}

void put_material(std::string &out, const tkm_material &m) {
    out += '{';
    put_key(out, "name", true);
    out += json_string(m.name);
    put_key(out, "aux_word");
    out += std::to_string(m.aux_word);
    put_key(out, "texture_refs");
    put_array(out, m.num_texture_refs, [&](uint32_t r) {
        out += '[' + std::to_string(m.texture_refs[r].aux) + ',' +
               std::to_string(m.texture_refs[r].texture) + ']';
    });
    put_key(out, "diffuse");
    put_floats(out, m.diffuse, 3);
    put_key(out, "ambient");
    put_floats(out, m.ambient, 3);
    put_key(out, "specular");
    put_floats(out, m.specular, 3);
    const std::pair<const char *, float> scalars[] = {{"aux_float1", m.aux_float1},
                                                      {"transparency", m.transparency}};
    for (const auto &[key, value] : scalars) {
        put_key(out, key);
        out += json_float(value);
    }
    put_key(out, "two_sided");
    out += std::to_string(m.two_sided);
    const std::pair<const char *, float> rest[] = {
        {"emission", m.emission}, {"shininess", m.shininess}, {"aux_float2", m.aux_float2}};
    for (const auto &[key, value] : rest) {
        put_key(out, key);
        out += json_float(value);
    }
    out += '}';
}

} // namespace

std::string mesh_json(const tkm_mesh &mesh) {
    std::string out = "{";
    put_key(out, "format", true);
    out += "\"tkm\"";
    put_key(out, "class_name");
    out += json_string(mesh.class_name ? mesh.class_name : model_class_name(&mesh));
    put_key(out, "header_word");
    out += std::to_string(mesh.header_word);
    put_key(out, "name");
    out += json_string(mesh.name);
    put_key(out, "declared_run_count");
    out += std::to_string(mesh.declared_run_count);
    put_key(out, "bones");
    put_array(out, mesh.num_bones, [&](uint32_t i) {
        const tkm_bone &b = mesh.bones[i];
        out += '{';
        put_key(out, "name", true);
        out += json_string(b.name);
        put_key(out, "parent");
        out += std::to_string(b.parent);
        put_key(out, "position");
        put_floats(out, b.position, 3);
        put_key(out, "rotation");
        put_floats(out, b.rotation, 4);
        out += '}';
    });
    put_key(out, "runs");
    put_array(out, mesh.num_runs, [&](uint32_t i) {
        const bone_run &r = mesh.runs[i];
        out += '[' + std::to_string(r.bone) + ',' + std::to_string(r.first_vertex) + ',' +
               std::to_string(r.vertex_count) + ']';
    });
    put_key(out, "vertices");
    put_array(out, mesh.num_vertices,
              [&](uint32_t i) { put_floats(out, mesh.vertices[i].local + 12, 3); });
    put_key(out, "blend_aux");
    out += json_float(mesh.blend_aux);
    put_key(out, "blends");
    put_array(out, mesh.blends ? mesh.num_blends : 0, [&](uint32_t i) {
        const blend_vertex &b = mesh.blends[i];
        out += '{';
        put_key(out, "vertices", true);
        put_ints(out, b.vertices, b.count);
        put_key(out, "weights");
        put_floats(out, b.weights, b.count);
        out += '}';
    });
    put_key(out, "texcoords");
    put_array(out, mesh.num_texcoords, [&](uint32_t i) {
        const float uv[2] = {mesh.texcoords[i].u, mesh.texcoords[i].v};
        put_floats(out, uv, 2);
    });
    put_key(out, "corners");
    put_array(out, mesh.num_corners, [&](uint32_t i) {
        const tkm_corner &c = mesh.corners[i];
        const uint16_t fields[4] = {c.texcoord, c.vertex, c.aux1, c.aux2};
        put_ints(out, fields, 4);
    });
    put_key(out, "triangles");
    put_array(out, mesh.num_triangles,
              [&](uint32_t i) { put_ints(out, mesh.triangles[i].corners, 3); });
    put_key(out, "material_runs");
    put_array(out, mesh.num_material_runs, [&](uint32_t i) {
        const material_run &r = mesh.material_runs[i];
        const uint16_t fields[3] = {r.material, r.first_triangle, r.triangle_count};
        put_ints(out, fields, 3);
    });
    put_key(out, "list_aux");
    out += std::to_string(mesh.list_aux);
    put_key(out, "triangle_lists");
    put_array(out, mesh.num_triangle_lists, [&](uint32_t i) {
        put_ints(out, mesh.triangle_lists[i].triangles, mesh.triangle_lists[i].count);
    });
    put_key(out, "texture_names");
    put_array(out, mesh.texture_names ? mesh.num_texture_names : 0, [&](uint32_t i) {
        const texture_name &t = mesh.texture_names[i];
        out += '{';
        put_key(out, "path", true);
        out += json_string(t.path);
        put_key(out, "base");
        out += json_string(t.base);
        out += '}';
    });
    put_key(out, "materials");
    put_array(out, mesh.num_materials, [&](uint32_t i) { put_material(out, mesh.materials[i]); });
    put_key(out, "grips");
    put_grippers(out, mesh.grips ? mesh.num_grips : 0, mesh.grips);
    put_key(out, "grippers");
    put_grippers(out, mesh.grippers ? mesh.num_grippers : 0, mesh.grippers);
    return out + '}';
}

std::string animation_json(const tka_animation &animation) {
    std::string out = "{";
    put_key(out, "format", true);
    out += "\"tka\"";
    put_key(out, "header_word");
    out += std::to_string(animation.header_word);
    put_key(out, "name");
    out += json_string(animation.name);
    put_key(out, "bones");
    put_array(out, animation.num_bones, [&](uint32_t i) {
        const tkm_bone &b = animation.bones[i];
        out += '{';
        put_key(out, "name", true);
        out += json_string(b.name);
        put_key(out, "parent");
        out += std::to_string(b.parent);
        put_key(out, "animated");
        out += std::to_string(b.animated);
        out += '}';
    });
    put_key(out, "animated_bones");
    put_ints(out, animation.animated_bones, animation.num_animated);
    put_key(out, "frames");
    put_array(out, animation.frames ? animation.num_frames : 0, [&](uint32_t f) {
        const tka_frame &frame = animation.frames[f];
        out += '{';
        put_key(out, "aux_vector1", true);
        put_floats(out, frame.aux_vector1, 3);
        put_key(out, "aux_rotation");
        put_floats(out, frame.aux_rotation, 4);
        put_key(out, "aux_vector2");
        put_floats(out, frame.aux_vector2, 3);
        put_key(out, "strings");
        put_array(out, frame.frame_strings ? frame.num_frame_strings : 0,
                  [&](uint32_t s) { out += json_string(frame.frame_strings[s].text); });
        put_key(out, "rotations");
        put_array(out, animation.num_bones, [&](uint32_t b) {
            const float *rotation = animation.bones[b].frame_rotations;
            if (rotation)
                put_floats(out, rotation + 4 * f, 4);
            else
                out += "null";
        });
        out += '}';
    });
    return out + '}';
}
