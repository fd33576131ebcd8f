// SPDX-License-Identifier: MIT
// Drawing one frame of the scene: the background, the posed meshes with their materials and
// textures, and the overlays (normals, hit regions, wire view, bones, grips and grippers).
#pragma once

#include <cstdint>

struct tkm_mesh;
struct tkm_material;
struct tka_animation;
struct gripper;

// Results of is_marker_material.
enum marker_material : int32_t {
    not_a_marker = 0,
    flashlight_marker = 1,
    muzzle_marker = 2,
};

// Clears, draws the whole scene and swaps the buffers. Main thread, GL context current.
void draw_frame();

// draw_frame without the swap: the frame stays in the back buffer (for screenshots and tests).
void draw_scene();

// Draws mesh posed in frame of animation (draw_scene hands the weapon frame 0, the character
// current_frame). A frame the animation lacks is reported and frame 0 drawn instead; a null
// animation, or one without frame 0, draws the mesh in its bind pose. Writes the vertices' world
// matrices whenever it poses the mesh (from vertex arrays, only when the mesh, animation or frame
// changed; immediately, on every frame), and with bones shown the grippers' on every frame.
// Returns the frame drawn: frame, or 0 when frame was out of range (also for a null mesh).
int32_t draw_mesh(tkm_mesh *mesh, const tka_animation *animation, int32_t frame);

// Sets each gripper's world = bone's world in frame x local (x inverse of local when inverted,
// as grips are placed). A bone or frame the animation lacks counts as the identity.
void pose_grippers(uint16_t count, gripper *list, const tka_animation *animation, uint32_t frame,
                   int32_t inverted);

// Poses mesh's grippers (as stored) and grips (inverted) for frame, then draws each marker and a
// line from its bone to it.
void draw_grippers(tkm_mesh *mesh, const tka_animation *animation, uint32_t frame);

// Draws the marker solid of one posed gripper: the box when its name ends in '2', else the pistol.
void draw_gripper_marker(const gripper *g);

// Sets the current colour from a 15-bit hit-region colour (red bits 10..14, green 5..9, blue
// 0..4; each channel x 8 / 255, so the brightest is 248/255), alpha 1.
void hit_colour(uint16_t value);

// A marker_material: "FLASHLIGHT" or "MUZZLE" in any letter case are markers and never drawn;
// a null material or missing name gives not_a_marker.
int32_t is_marker_material(const tkm_material *material);
