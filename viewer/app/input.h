// SPDX-License-Identifier: MIT
// Keyboard, mouse and joystick input in the OpenGL window: camera movement and animation steps.
#pragma once

#include <cstdint>

struct window_event;

// Camera keys (repeats included), Space, the arrows and left Alt; always 0.
int32_t on_key_down(const window_event *event);
// Left Alt ends the alternate mouse mode; every other release goes to the command keys; always 0.
int32_t on_key_up(const window_event *event);
// Mouse moved by (dx, dy) pixels with the button mask state: wheel, turn and move the camera.
void on_mouse_motion(uint8_t state, int16_t dx, int16_t dy);
// A mouse button went down: the wheel (buttons 4 and 5) steps the distance; the other buttons act
// through the motion state.
void on_mouse_button_down(uint8_t button);
// Turns the camera by the axes of every joystick (opened and closed again on each call).
void poll_joysticks();
