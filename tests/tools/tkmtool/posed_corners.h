// SPDX-License-Identifier: MIT
// Posed triangles of TKM meshes for the tkmtool round-trip tests: every corner where the viewer's
// posing puts it, the model's size, and how far the corners of two meshes' triangles are apart.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/anim/pose.h"
#include "viewer/mesh/mesh.h"

namespace posed_corners {

using vec3 = std::array<double, 3>;

inline double distance(const vec3 &a, const vec3 &b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) +
                     (a[2] - b[2]) * (a[2] - b[2]));
}

// The diagonal of the box around points: the model's size.
inline double size_of(const std::vector<vec3> &points) {
    vec3 lo{1e30, 1e30, 1e30}, hi{-1e30, -1e30, -1e30};
    for (const vec3 &p : points)
        for (size_t k = 0; k < 3; k++)
            lo[k] = std::min(lo[k], p[k]), hi[k] = std::max(hi[k], p[k]);
    return distance(lo, hi);
}

// Every corner of the mesh in frame f of animation (null: its rest pose), with its hit colour,
// triangle by triangle.
struct rest_corner {
    vec3 position;
    uint16_t hit;
};
inline std::vector<std::array<rest_corner, 3>>
posed_triangles(tkm_mesh *mesh, const tka_animation *animation = nullptr, int32_t f = -1) {
    pose_mesh_in_frame(mesh, animation, checked_frame(animation, f), nullptr);
    std::vector<std::array<rest_corner, 3>> out;
    for (uint32_t t = 0; t < mesh->num_triangles; t++) {
        std::array<rest_corner, 3> triangle{};
        for (size_t k = 0; k < 3; k++) {
            const tkm_corner &corner = mesh->corners[mesh->triangles[t].corners[k]];
            float p[3];
            corner_position(mesh, corner.vertex, p);
            triangle[k] = {{p[0], p[1], p[2]}, corner.aux2};
        }
        out.push_back(triangle);
    }
    return out;
}

inline std::vector<vec3> corners_of(const std::vector<std::array<rest_corner, 3>> &triangles) {
    std::vector<vec3> points;
    for (const auto &triangle : triangles)
        for (const rest_corner &corner : triangle)
            points.push_back(corner.position);
    return points;
}

// The largest distance between a corner of a triangle of before and the nearest corner of the
// triangle of after at the same index; and whether the nearest corners carry the same hit colour.
inline double triangle_distance(const std::vector<std::array<rest_corner, 3>> &before,
                                const std::vector<std::array<rest_corner, 3>> &after,
                                size_t *hit_misses) {
    double largest = before.size() == after.size() ? 0 : std::numeric_limits<double>::infinity();
    for (size_t t = 0; t < std::min(before.size(), after.size()); t++)
        for (const rest_corner &corner : before[t]) {
            const rest_corner *nearest = &after[t][0];
            for (const rest_corner &other : after[t])
                if (distance(other.position, corner.position) <
                    distance(nearest->position, corner.position))
                    nearest = &other;
            largest = std::max(largest, distance(nearest->position, corner.position));
            *hit_misses += nearest->hit != corner.hit;
        }
    return largest;
}

inline std::string text(const char *s, uint16_t length) {
    return s ? std::string(s, length) : std::string();
}

} // namespace posed_corners
