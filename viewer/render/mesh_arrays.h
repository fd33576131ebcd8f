// SPDX-License-Identifier: MIT
// Drawing a mesh's material runs from vertex arrays kept between frames: the triangles are laid
// out once per mesh and posed once per frame of animation, and each material run is one draw call.
#pragma once

#include <cstdint>

struct tkm_mesh;
struct tka_animation;

// How draw_mesh sends a mesh's triangles to OpenGL.
enum draw_path : int32_t {
    draw_by_arrays = 0,   // vertex arrays kept between frames (the default)
    draw_immediately = 1, // one glBegin/glEnd per triangle, posed every frame: the reference
};

// The path draw_mesh takes from the next frame on (draw_by_arrays or draw_immediately).
void set_draw_path(int32_t path);
// The path set last; draw_by_arrays at start.
int32_t current_draw_path();

// Draws mesh's material runs posed in frame of animation (-1 or a frame it lacks: the bind pose),
// from its arrays. The mesh is posed, and its arrays refilled, only when the mesh, the animation
// or the frame differs from the last time it was drawn so; the arrays are laid out anew when any
// model was created or released since (model_generation) or the mesh holds other arrays or
// counts. A model edited in place must be announced with note_model_change. Materials, textures
// and toggles are read anew on every frame. 0 when drawn; 1 with nothing drawn or posed when
// arrays cannot draw what the immediate path would (the normals overlay, a primitive other than
// triangles or the wire view, smoothed lines with culling off, texture coordinates outside the
// mesh): the caller then draws immediately.
// Main thread, GL context current.
int32_t draw_mesh_arrays(tkm_mesh *mesh, const tka_animation *animation, int32_t frame);

// Frees the arrays kept when any model was created or released since they were laid out (so that
// a released mesh's arrays do not outlive it while nothing is drawn); once per frame.
void forget_stale_mesh_arrays();
