// SPDX-License-Identifier: MIT
// Reading back the OBJ files tkmtool export-obj writes: vertex positions and triangles.
#pragma once

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The vertex positions ("v" lines) of an OBJ file.
inline std::vector<std::array<double, 3>> obj_vertices(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::array<double, 3>> out;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("v ", 0) != 0) continue;
        std::istringstream fields(line.substr(2));
        std::array<double, 3> v{};
        fields >> v[0] >> v[1] >> v[2];
        out.push_back(v);
    }
    return out;
}

// The triangles of an OBJ file: per corner its position and texture coordinate.
using obj_corner = std::array<double, 5>;
inline std::vector<std::array<obj_corner, 3>> obj_triangles(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::array<double, 3>> positions;
    std::vector<std::array<double, 2>> texcoords;
    std::vector<std::array<obj_corner, 3>> out;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "v") {
            std::array<double, 3> p{};
            fields >> p[0] >> p[1] >> p[2];
            positions.push_back(p);
        } else if (kind == "vt") {
            std::array<double, 2> t{};
            fields >> t[0] >> t[1];
            texcoords.push_back(t);
        } else if (kind == "f") {
            std::array<obj_corner, 3> triangle{};
            for (obj_corner &corner : triangle) {
                size_t v = 0, t = 0;
                char slash = 0;
                fields >> v >> slash >> t;
                const auto &p = positions.at(v - 1);
                const auto &uv = texcoords.at(t - 1);
                corner = {p[0], p[1], p[2], uv[0], uv[1]};
            }
            out.push_back(triangle);
        }
    }
    return out;
}

// The OBJ point (from 0) of each of the mesh's vertices (stored, then blend) that a face of the
// OBJ file names, read by matching its faces with the mesh's triangles in material-run order; -1
// for a vertex no face names (export-obj leaves those out).
template <typename Mesh>
inline std::vector<long> obj_points_of_vertices(const std::string &path, const Mesh &mesh) {
    std::vector<long> point(size_t(mesh.num_vertices) + mesh.num_blends, -1);
    std::vector<size_t> corners; // the mesh's corners in the order the faces name them
    for (uint32_t r = 0; r < mesh.num_material_runs; ++r)
        for (uint32_t t = mesh.material_runs[r].first_triangle;
             t <
             uint32_t{mesh.material_runs[r].first_triangle} + mesh.material_runs[r].triangle_count;
             ++t)
            for (uint16_t c : mesh.triangles[t].corners)
                corners.push_back(c);
    std::ifstream in(path);
    size_t next = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("f ", 0) != 0) continue;
        std::istringstream fields(line.substr(2));
        for (int k = 0; k < 3 && next < corners.size(); ++k, ++next) {
            long v = 0, t = 0;
            char slash = 0;
            fields >> v >> slash >> t;
            point[mesh.corners[corners[next]].vertex] = v - 1;
        }
    }
    return point;
}
