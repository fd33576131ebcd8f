// SPDX-License-Identifier: MIT
// OBJ and MTL writing.
#include "obj_export.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

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

// The triangles written: those of the material runs whose corners and vertices exist.
bool written_triangle(const tkm_mesh &mesh, uint32_t t) {
    const uint32_t num_points = uint32_t{mesh.num_vertices} + mesh.num_blends;
    for (uint16_t c : mesh.triangles[t].corners)
        if (c >= mesh.num_corners || mesh.corners[c].vertex >= num_points) return false;
    return true;
}

template <typename Visit> void for_each_written_triangle(const tkm_mesh &mesh, Visit visit) {
    for (uint32_t r = 0; r < mesh.num_material_runs; ++r) {
        const material_run &run = mesh.material_runs[r];
        visit(r, UINT32_MAX);
        uint32_t end = uint32_t{run.first_triangle} + run.triangle_count;
        for (uint32_t t = run.first_triangle; t < end && t < mesh.num_triangles; ++t)
            if (written_triangle(mesh, t)) visit(r, t);
    }
}

// The OBJ number (from 1) of each TKM vertex, stored then blend, that a written face uses; 0 for
// the rest. The stored vertices that only make up blend vertices are not points of the model,
// and a tool that imports the file would show them as loose vertices.
std::vector<uint32_t> used_vertex_numbers(const tkm_mesh &mesh) {
    const uint32_t count = uint32_t{mesh.num_vertices} + mesh.num_blends;
    std::vector<uint32_t> obj_index(count, 0);
    for_each_written_triangle(mesh, [&](uint32_t, uint32_t t) {
        if (t == UINT32_MAX) return;
        for (uint16_t c : mesh.triangles[t].corners)
            obj_index[mesh.corners[c].vertex] = 1;
    });
    uint32_t next = 0;
    for (uint32_t &n : obj_index)
        if (n) n = ++next;
    return obj_index;
}

std::string obj_text(const tkm_mesh &mesh, const std::string &mtl_name) {
    std::string out = "# " + obj_name(mesh.name) + "\nmtllib " + mtl_name + "\n";
    const std::vector<uint32_t> obj_index = used_vertex_numbers(mesh);
    for (uint32_t i = 0; i < obj_index.size(); ++i) {
        if (!obj_index[i]) continue;
        float position[3];
        if (i < mesh.num_vertices)
            std::memcpy(position, &mesh.vertices[i].world[12], sizeof position);
        else
            blend_position(&mesh, static_cast<uint16_t>(i - mesh.num_vertices), position);
        out += "v " + number(position[0]) + ' ' + number(position[1]) + ' ' + number(position[2]) +
               '\n';
    }
    for (uint32_t i = 0; i < mesh.num_texcoords; ++i)
        out += "vt " + number(mesh.texcoords[i].u) + ' ' + number(mesh.texcoords[i].v) + '\n';
    for_each_written_triangle(mesh, [&](uint32_t r, uint32_t t) {
        if (t == UINT32_MAX) {
            const material_run &run = mesh.material_runs[r];
            if (run.material < mesh.num_materials)
                out += "usemtl " + obj_name(mesh.materials[run.material].name) + '\n';
            return;
        }
        out += 'f';
        for (uint16_t c : mesh.triangles[t].corners) {
            const tkm_corner &corner = mesh.corners[c];
            out += ' ' + std::to_string(obj_index[corner.vertex]) + '/' +
                   std::to_string(corner.texcoord + 1);
        }
        out += '\n';
    });
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
