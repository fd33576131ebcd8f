// SPDX-License-Identifier: MIT
// The viewer's OpenGL window and the fixed render state all drawing relies on.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>

// Opens the width x height OpenGL window and sets the render state; null (reported) on failure.
SDL_Surface *create_gl_window(int32_t width, int32_t height);
// Puts OpenGL into the fixed start-up state, printing each step; always 0.
int32_t init_gl_state(int32_t width, int32_t height);
