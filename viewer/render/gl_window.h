// SPDX-License-Identifier: MIT
// The viewer's OpenGL window and the fixed render state all drawing relies on.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>

// Asks for the window's own framebuffer where SDL 1.2 is sdl12-compat, which by itself draws into
// an offscreen framebuffer and scales it to the window: Mesa rasterises such a framebuffer
// differently (a few edge pixels) from a window or OSMesa's buffer, so tkmtool's pictures would no
// longer match the viewer's. Without effect on the original SDL 1.2. Call before SDL_Init; a
// setting the user made in the environment is kept.
void prefer_window_framebuffer();
// Opens the width x height OpenGL window and sets the render state; null (reported) on failure.
SDL_Surface *create_gl_window(int32_t width, int32_t height);
// Puts OpenGL into the fixed start-up state, printing each step; always 0.
int32_t init_gl_state(int32_t width, int32_t height);
