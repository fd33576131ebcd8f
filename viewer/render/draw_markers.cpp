// SPDX-License-Identifier: MIT
// Grip and gripper markers: placing them by their bones and drawing the pistol and box solids.
//
// Index: marker shapes - bone lookups - pose_grippers - draw_grippers - draw_gripper_marker
#include <GL/gl.h>

#include <array>
#include <cstring>

#include "viewer/anim/animation.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/bone_frames.h"
#include "viewer/render/draw.h"
#include "viewer/math/math3d.h"

namespace {

// ---- marker shapes: points in the marker's own space, triangles as point numbers in drawing order

struct marker_shape {
    const float (*points)[3];
    std::size_t num_points;
    const uint8_t (*triangles)[3];
    std::size_t num_triangles;
};

constexpr float pistol_points[19][3] = {
    {-1.1359f, -2.8632f, -0.0656f}, {0.4591f, -3.6381f, -0.5676f}, {0.4591f, -3.6381f, 0.4365f},
    {1.4661f, -1.5421f, -0.5676f},  {1.4661f, -1.5421f, 0.4365f},  {3.7403f, -1.54f, -0.3736f},
    {3.7403f, -1.54f, 0.2425f},     {4.4537f, -0.0745f, -0.5676f}, {4.4537f, -0.0745f, 0.4365f},
    {0.3762f, -0.3598f, -0.0656f},  {0.3849f, 2.5184f, -0.0656f},  {5.5816f, 2.5396f, 0.4365f},
    {5.5816f, 2.5396f, -0.5676f},   {6.6919f, 1.0046f, 0.4365f},   {6.6919f, 1.0046f, -0.5676f},
    {10.6446f, 0.9875f, 0.4365f},   {10.6446f, 0.9875f, -0.5676f}, {10.6534f, 2.5208f, -0.5676f},
    {10.6534f, 2.5208f, 0.4365f},
};

constexpr uint8_t pistol_triangles[34][3] = {
    {2, 1, 0},    {4, 3, 1},    {2, 4, 1},    {6, 5, 3},    {4, 6, 3},    {1, 3, 0},
    {0, 3, 9},    {4, 2, 0},    {4, 0, 9},    {4, 9, 8},    {4, 8, 6},    {9, 3, 7},
    {3, 5, 7},    {6, 8, 7},    {7, 5, 6},    {11, 10, 12}, {11, 8, 9},   {9, 10, 11},
    {10, 9, 7},   {7, 12, 10},  {17, 16, 15}, {15, 18, 17}, {14, 7, 8},   {8, 13, 14},
    {13, 8, 11},  {7, 14, 12},  {16, 14, 13}, {13, 15, 16}, {17, 12, 14}, {14, 16, 17},
    {18, 11, 12}, {12, 17, 18}, {15, 13, 11}, {11, 18, 15},
};

constexpr float box_half_width = 0.773873f;
constexpr float box_height = 5.904398f;
constexpr float box_points[8][3] = {
    {-box_half_width, -box_half_width, 0.0f},       {box_half_width, -box_half_width, 0.0f},
    {box_half_width, box_half_width, 0.0f},         {-box_half_width, box_half_width, 0.0f},
    {-box_half_width, -box_half_width, box_height}, {box_half_width, -box_half_width, box_height},
    {box_half_width, box_half_width, box_height},   {-box_half_width, box_half_width, box_height},
};

constexpr uint8_t box_triangles[12][3] = {
    {0, 1, 2}, {0, 2, 3}, {2, 1, 6}, {1, 5, 6}, {2, 6, 7}, {2, 7, 3},
    {0, 3, 4}, {3, 7, 4}, {1, 0, 5}, {0, 4, 5}, {4, 5, 7}, {6, 7, 5},
};

constexpr marker_shape pistol = {pistol_points, 19, pistol_triangles, 34};
constexpr marker_shape box = {box_points, 8, box_triangles, 12};

constexpr float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The marker of a gripper: the box for a name ending in '2', the pistol for any other name.
const marker_shape &shape_of(const gripper &g) {
    if (g.name && g.name_length > 0) {
        std::size_t length = std::strlen(g.name);
        if (length > 0 && g.name[length - 1] == '2') return box;
    }
    return pistol;
}

void pose_list(const tkm_mesh *mesh, uint16_t count, gripper *list, const tka_animation *animation,
               uint32_t frame, bool inverted) {
    if (!list) return;
    for (uint16_t i = 0; i < count; i++) {
        gripper &g = list[i];
        const float *bone = bone_frame_world(mesh, animation, frame, g.bone);
        if (!bone) bone = identity;
        if (inverted) {
            float inverse[16];
            mat4_rigid_inverse(inverse, g.local);
            mat4_multiply(g.world, bone, inverse);
        } else {
            mat4_multiply(g.world, bone, g.local);
        }
    }
}

void draw_list(const tkm_mesh *mesh, uint16_t count, const gripper *list,
               const tka_animation *animation, uint32_t frame) {
    if (!list) return;
    for (uint16_t i = 0; i < count; i++) {
        const gripper &g = list[i];
        draw_gripper_marker(&g);
        const float *bone = bone_frame_world(mesh, animation, frame, g.bone);
        if (!bone) bone = identity;
        glBegin(GL_LINES);
        glVertex3fv(bone + 12);
        glVertex3fv(g.world + 12);
        glEnd();
    }
}

} // namespace

// ---- bone lookups

const float *bone_frame_world(const tkm_mesh *mesh, const tka_animation *animation, uint32_t frame,
                              uint16_t bone) {
    if (animation && animation->bones && bone < animation->num_bones &&
        frame < animation->num_frames && animation->bones[bone].frame_worlds)
        return animation->bones[bone].frame_worlds + 16 * frame;
    if (mesh && mesh->bones && bone < mesh->num_bones) return mesh->bones[bone].world;
    return nullptr;
}

uint16_t bone_parent(const tkm_mesh *mesh, const tka_animation *animation, uint16_t bone) {
    if (animation && animation->bones && bone < animation->num_bones)
        return animation->bones[bone].parent;
    if (mesh && mesh->bones && bone < mesh->num_bones) return mesh->bones[bone].parent;
    return no_parent;
}

// ---- placing and drawing

void pose_grippers(uint16_t count, gripper *list, const tka_animation *animation, uint32_t frame,
                   int32_t inverted) {
    pose_list(nullptr, count, list, animation, frame, inverted != 0);
}

void draw_grippers(tkm_mesh *mesh, const tka_animation *animation, uint32_t frame) {
    if (!mesh) return;
    pose_list(mesh, mesh->num_grippers, mesh->grippers, animation, frame, false);
    pose_list(mesh, mesh->num_grips, mesh->grips, animation, frame, true);
    draw_list(mesh, mesh->num_grippers, mesh->grippers, animation, frame);
    draw_list(mesh, mesh->num_grips, mesh->grips, animation, frame);
}

void draw_gripper_marker(const gripper *g) {
    if (!g) return;
    const marker_shape &shape = shape_of(*g);
    // Each point is placed once, before the first vertex goes out.
    std::array<std::array<float, 3>, 19> placed{};
    for (std::size_t i = 0; i < shape.num_points; i++)
        mat4_transform_point(placed[i].data(), shape.points[i], g->world);
    glBegin(GL_TRIANGLES);
    for (std::size_t t = 0; t < shape.num_triangles; t++)
        for (uint8_t corner : shape.triangles[t])
            glVertex3fv(placed[corner].data());
    glEnd();
}
