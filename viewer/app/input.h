// Keyboard, mouse and joystick input that moves the camera and steps the animation.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>

// Key pressed in the OpenGL window; always 0.
int32_t on_key_down(const SDL_Event *event);
// Key released in the OpenGL window; always 0.
int32_t on_key_up(const SDL_Event *event);
// Mouse moved by (dx, dy) pixels with the SDL button mask state.
void on_mouse_motion(uint8_t state, int16_t dx, int16_t dy);
// Reads the first joystick's axes and moves the camera.
void poll_joysticks();
