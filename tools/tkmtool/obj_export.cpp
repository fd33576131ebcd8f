// SPDX-License-Identifier: MIT
// OBJ and MTL writing.
#include "obj_export.h"

#include <charconv>
#include <cstdio>

#include "support/file.h"
#include "support/scratch_write.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/mesh.h"

namespace {

// Shortest round-trip decimal of a float.
std::string number(float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// A name as one OBJ token run: text up to its zero byte, line breaks and controls as '_'.
std::string obj_name(const char *text) {
    std::string out;
    for (const char *at = text ? text : ""; *at; ++at)
        out += (static_cast<unsigned char>(*at) < 0x20 || *at == 0x7F) ? '_' : *at;
    return out.empty() ? std::string("_") : out;
}

std::string obj_text(const tkm_mesh &mesh, const std::string &mtl_name) {
    std::string out = "# " + obj_name(mesh.name) + "\nmtllib " + mtl_name + "\n";
    for (uint32_t i = 0; i < mesh.num_vertices; ++i) {
        const float *world = mesh.vertices[i].world;
        out += "v " + number(world[12]) + ' ' + number(world[13]) + ' ' + number(world[14]) + '\n';
    }
    for (uint32_t i = 0; i < mesh.num_blends; ++i) {
        float position[3];
        blend_position(&mesh, static_cast<uint16_t>(i), position);
        out += "v " + number(position[0]) + ' ' + number(position[1]) + ' ' + number(position[2]) +
               '\n';
    }
    for (uint32_t i = 0; i < mesh.num_texcoords; ++i)
        out += "vt " + number(mesh.texcoords[i].u) + ' ' + number(mesh.texcoords[i].v) + '\n';
    for (uint32_t r = 0; r < mesh.num_material_runs; ++r) {
        const material_run &run = mesh.material_runs[r];
        if (run.material < mesh.num_materials)
            out += "usemtl " + obj_name(mesh.materials[run.material].name) + '\n';
        uint32_t end = uint32_t{run.first_triangle} + run.triangle_count;
        for (uint32_t t = run.first_triangle; t < end && t < mesh.num_triangles; ++t) {
            const uint16_t *corners = mesh.triangles[t].corners;
            if (corners[0] >= mesh.num_corners || corners[1] >= mesh.num_corners ||
                corners[2] >= mesh.num_corners)
                continue;
            out += 'f';
            for (uint16_t c : mesh.triangles[t].corners) {
                const tkm_corner &corner = mesh.corners[c];
                out += ' ' + std::to_string(corner.vertex + 1) + '/' +
                       std::to_string(corner.texcoord + 1);
            }
            out += '\n';
        }
    }
    return out;
}

void put_colour(std::string &out, const char *key, const float *colour, float scale) {
    out += std::string(key) + ' ' + number(colour[0] / scale) + ' ' + number(colour[1] / scale) +
           ' ' + number(colour[2] / scale) + '\n';
}

std::string mtl_text(const tkm_mesh &mesh) {
    std::string out = "# " + obj_name(mesh.name) + "\n";
    for (uint32_t i = 0; i < mesh.num_materials; ++i) {
        const tkm_material &m = mesh.materials[i];
        out += "\nnewmtl " + obj_name(m.name) + '\n';
        put_colour(out, "Kd", m.diffuse, 255.0f);
        put_colour(out, "Ka", m.ambient, 255.0f);
        put_colour(out, "Ks", m.specular, 255.0f);
        const float emission[3] = {m.emission, m.emission, m.emission};
        put_colour(out, "Ke", emission, 100.0f);
        out += "d " + number(1.0f - m.transparency) + '\n';
        if (m.num_texture_refs && m.texture_refs[0].texture < mesh.num_texture_names &&
            mesh.texture_names)
            out += "map_Kd " + obj_name(mesh.texture_names[m.texture_refs[0].texture].base) + '\n';
    }
    return out;
}

} // namespace

std::string mtl_path_for(const std::string &obj_path) {
    size_t slash = obj_path.find_last_of("/\\");
    size_t dot = obj_path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return obj_path + ".mtl";
    return obj_path.substr(0, dot) + ".mtl";
}

int export_obj(const tkm_mesh &mesh, const std::string &obj_path, std::string *error) {
    std::string mtl_path = mtl_path_for(obj_path);
    size_t slash = mtl_path.find_last_of("/\\");
    std::string mtl_name = slash == std::string::npos ? mtl_path : mtl_path.substr(slash + 1);
    // Both files are written whole before either replaces its target, the OBJ that names the
    // MTL last.
    const std::string texts[2] = {obj_text(mesh, mtl_name), mtl_text(mesh)};
    const char *paths[2] = {obj_path.c_str(), mtl_path.c_str()};
    const void *bytes[2] = {texts[0].data(), texts[1].data()};
    const size_t sizes[2] = {texts[0].size(), texts[1].size()};
    size_t failed = 0;
    int reason = replace_files_bytes(2, paths, bytes, sizes, &failed);
    if (reason == 0) return 0;
    *error = "cannot write " + std::string(paths[failed]) + colon_reason(reason);
    return 1;
}
