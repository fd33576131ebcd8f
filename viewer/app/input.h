// SPDX-License-Identifier: MIT
// Keyboard, mouse and joystick input in the OpenGL window: camera movement and animation steps.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>

// Camera keys (repeats included), Space, the arrows and left Alt; always 0.
int32_t on_key_down(const SDL_Event *event);
// Left Alt ends the alternate mouse mode; every other release goes to the command keys; always 0.
int32_t on_key_up(const SDL_Event *event);
// Mouse moved by (dx, dy) pixels with the SDL button mask state: wheel, turn and move the camera.
void on_mouse_motion(uint8_t state, int16_t dx, int16_t dy);
// A mouse button went down: the wheel (SDL 1.2 reports it as buttons 4 and 5) steps the distance;
// the other buttons act through the motion state.
void on_mouse_button_down(uint8_t button);
// Turns the camera by the axes of every joystick (opened and closed again on each call).
void poll_joysticks();

// The SDL joystick calls poll_joysticks goes through, so they can be stood in for.
struct joystick_calls {
    int (*count)();                             // SDL_NumJoysticks
    SDL_Joystick *(*open)(int index);           // SDL_JoystickOpen
    int16_t (*axis)(SDL_Joystick *j, int axis); // SDL_JoystickGetAxis
    void (*close)(SDL_Joystick *j);             // SDL_JoystickClose
    const char *(*name)(int index);             // SDL_JoystickName: may be null
};

// The calls in use; replace_joystick_calls(nullptr) goes back to SDL's own.
const joystick_calls &current_joystick_calls();
void replace_joystick_calls(const joystick_calls *calls);
