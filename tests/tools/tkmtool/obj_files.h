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
