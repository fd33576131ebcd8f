// SPDX-License-Identifier: MIT
// A small character for the glTF export's tests, as TKM and TKA file descriptions: six bones in
// two roots with turned bind poses, stored vertices on every bone, blend vertices of every kind a
// skin can and cannot follow, three materials (textured, see-through, marker), a grip and a
// gripper, and two animations (one whose skeleton hangs a bone from another parent).
#pragma once

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "tests/fixtures/tkm_builder.h"
#include "viewer/mesh/mesh.h"
#include "viewer/math/math3d.h"

namespace character_fixture {

using namespace tkm_fixture;

// The viewer's quaternion for a turn of degrees about axis.
inline quat turn(float degrees, vec3 axis) {
    quat q;
    quat_from_axis_angle(q.data(), degrees, axis.data());
    return q;
}

struct character {
    tkm_description mesh;
    std::vector<std::array<float, 16>> worlds; // bind world matrix per bone
    // Blend vertices a skin follows exactly, and those it cannot (indices into the blends).
    std::vector<int> exact_blends, unmatched_blends;
};

inline std::array<float, 16> bone_world(const character &c, size_t bone) {
    return c.worlds.at(bone);
}

// The bone-relative position of a stored vertex on bone that lies at world in the rest pose.
inline vec3 local_for(const character &c, size_t bone, vec3 world) {
    float inverse[16];
    mat4_rigid_inverse(inverse, c.worlds.at(bone).data());
    vec3 out;
    mat4_transform_point(out.data(), world.data(), inverse);
    return out;
}

inline character build_character() {
    character c;
    tkm_description &d = c.mesh;
    d.name = "Trooper";
    d.bones = {{"hips", 0xFFFF, {0, 0, 10}, turn(30, {0, 0, 1})},
               {"spine", 0, {0, 0, 5}, turn(20, {1, 0, 0})},
               {"head", 1, {0, 0, 4}, {0, 0, 0, 1}},
               {"arm", 1, {3, 0, 2}, turn(45, {0, 1, 0})},
               {"hand", 3, {0, 0, -4}, turn(-60, {1, 1, 0})},
               {"prop", 0xFFFF, {10, 0, 0}, turn(90, {0, 0, 1})}};
    for (const bone_description &b : d.bones) {
        float local[16], world[16];
        quat_to_mat4(local, b.rotation.data());
        local[12] = b.position[0];
        local[13] = b.position[1];
        local[14] = b.position[2];
        if (b.parent != 0xFFFF)
            mat4_multiply(world, c.worlds.at(b.parent).data(), local);
        else
            std::copy(local, local + 16, world);
        c.worlds.push_back({});
        std::copy(world, world + 16, c.worlds.back().begin());
    }
    // Two stored vertices per bone, then the extra ones the blends need, each in its own run.
    std::vector<std::pair<uint16_t, vec3>> stored;
    for (uint16_t b = 0; b < 6; ++b) {
        stored.push_back({b, {1.0f + b, 0.5f, -1}});
        stored.push_back({b, {-1, 2.0f - b, 0.25f * b}});
    }
    // 12: on the arm where vertex 2 (spine) is in the rest pose: a seam.
    vec3 seam;
    mat4_transform_point(seam.data(), stored[2].second.data(), c.worlds[1].data());
    stored.push_back({3, local_for(c, 3, seam)});
    // 13 to 17: five bones meeting at one point.
    const vec3 meeting = {1, 2, 16};
    for (uint16_t b = 0; b < 5; ++b)
        stored.push_back({b, local_for(c, b, meeting)});
    for (size_t i = 0; i < stored.size(); ++i) {
        d.runs.push_back({stored[i].first, static_cast<uint16_t>(i), 1});
        d.vertices.push_back(stored[i].second);
    }
    d.end_marker = true;
    d.blends = {
        {{2, 12}, {0.25f, 0.75f}},                                // 0: a seam over two bones
        {{0, 1}, {0.5f, 0.5f}},                                   // 1: two points of one bone
        {{4, 8}, {0.5f, 0.5f}},                                   // 2: points of two bones apart
        {{13, 14, 15, 16, 17}, {0.1f, 0.15f, 0.2f, 0.25f, 0.3f}}, // 3: five bones
        {{2, 12}, {0.6f, 0.6f}},                                  // 4: weights summing to 1.2
        {{13, 14, 15, 16}, {0.1f, 0.2f, 0.3f, 0.4f}},             // 5: four bones meeting
    };
    c.exact_blends = {0, 1, 5};
    c.unmatched_blends = {2, 3, 4};
    const uint16_t blend0 = static_cast<uint16_t>(d.vertices.size());
    d.texcoords = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0.25f, 0.75f}, {-0.5f, 2.5f}};
    // Triangles over stored and blend vertices; the last one has no area.
    const uint16_t triangle_vertices[][3] = {{0, 2, 4},
                                             {1, 3, 5},
                                             {6, 8, 10},
                                             {7, 9, 11},
                                             {blend0, 12, 6},
                                             {static_cast<uint16_t>(blend0 + 1), 2, 3},
                                             {static_cast<uint16_t>(blend0 + 2),
                                              static_cast<uint16_t>(blend0 + 3),
                                              static_cast<uint16_t>(blend0 + 4)},
                                             {static_cast<uint16_t>(blend0 + 5), 14, 9},
                                             {0, 2, 4},
                                             {10, 10, 10}};
    const uint16_t hits[] = {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x8421, 0x0000};
    for (const auto &t : triangle_vertices) {
        std::array<uint16_t, 3> corners;
        for (int k = 0; k < 3; ++k) {
            uint16_t index = static_cast<uint16_t>(d.corners.size());
            d.corners.push_back({static_cast<uint16_t>(index % 6), t[k], 0, hits[index % 6]});
            corners[size_t(k)] = index;
        }
        d.triangles.push_back(corners);
    }
    d.material_runs = {{0, 0, 5}, {1, 5, 3}, {2, 8, 1}, {0, 9, 1}, {1, 9, 0}};
    d.triangle_lists = {{0, 1, 2}};
    d.texture_names = {"textures\\Skin.BMP"};
    material_description textured;
    textured.name = "body";
    textured.refs = {{1, 0}};
    textured.transparency = 0;
    textured.two_sided = 0;
    material_description glass;
    glass.name = "visor";
    glass.diffuse = {51, 102, 255};
    glass.transparency = 0.5f;
    material_description muzzle;
    muzzle.name = "MUZZLE";
    muzzle.transparency = 0;
    d.materials = {textured, glass, muzzle};
    gripper_description hand;
    hand.name = "Grip1";
    hand.bone = 4;
    hand.columns = {vec3{0, 1, 0}, vec3{-1, 0, 0}, vec3{0, 0, 1}, vec3{0.5f, 0, -1}};
    d.grippers = {hand};
    gripper_description grip;
    grip.name = "Grip2";
    grip.bone = 2;
    grip.columns = {vec3{1, 0, 0}, vec3{0, 0, 1}, vec3{0, -1, 0}, vec3{0, 2, 1}};
    d.grips = {grip};
    return c;
}

// An animation of the character: frames frames, every bone turning a little more each frame
// about an axis of its own. With parent_of_hand given, the animation's skeleton hangs the hand
// from that bone instead of the arm.
inline tka_description character_animation(const character &c, int frames,
                                           uint16_t parent_of_hand = 3,
                                           const std::string &name = "walk") {
    tka_description d;
    d.name = name;
    d.bones = c.mesh.bones;
    d.bones[4].parent = parent_of_hand;
    const vec3 axes[6] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
    for (int f = 0; f < frames; ++f) {
        tka_frame_description frame;
        for (size_t b = 0; b < 6; ++b) {
            quat base = c.mesh.bones[b].rotation;
            quat extra = turn(17.0f * float(f) * float(b + 1), axes[b]);
            quat q;
            quat_multiply(q.data(), base.data(), extra.data());
            frame.rotations.push_back(q);
        }
        d.frames.push_back(frame);
    }
    return d;
}

} // namespace character_fixture
