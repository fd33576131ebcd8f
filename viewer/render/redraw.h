// SPDX-License-Identifier: MIT
// Drawing only when the picture changes: what the OpenGL window would show, compared with what
// the last frame showed, and the changes app_state does not hold (expose, resize, images).
#pragma once

#include <cstdint>

// Marks the picture out of date: the window was exposed, resized or restored, or an image (a
// texture, the background) was made. Main thread only.
void note_picture_change();

// 1 when a frame is due: none drawn yet, a change noted, or something that shows (camera,
// window size, toggles, meshes, animations, frame on show, background) differs from the last
// frame; else 0.
int32_t picture_needs_drawing();

// Records what the frame just drawn shows; the next picture_needs_drawing compares with it.
void note_picture_drawn();

// Frames recorded by note_picture_drawn since the program started.
uint64_t frames_drawn();
