// SPDX-License-Identifier: MIT
// The viewer's OpenGL window and the fixed render state all drawing relies on.
#pragma once

#include <cstdint>

struct window_handle;
struct window_attributes;

// Opens the width x height OpenGL window with the viewer's attributes and sets the render state;
// null (reported) on failure.
window_handle *create_gl_window(int32_t width, int32_t height);
// The same with other attributes (a benchmark's frames unbound from the display).
window_handle *create_gl_window(const window_attributes &attributes);
// Puts OpenGL into the fixed start-up state, printing each step; always 0.
int32_t init_gl_state(int32_t width, int32_t height);
