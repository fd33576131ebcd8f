// SPDX-License-Identifier: MIT
// What the SDL 1.2 backend offers beyond the window layer, for SDL's own users (the event
// translators, tests that drive SDL directly): its records and the joystick calls it goes through.
#pragma once

#include <SDL/SDL.h>
#include <SDL/SDL_syswm.h>

#include "viewer/window/window.h"

// Asks for the window's own framebuffer where SDL 1.2 is sdl12-compat, which by itself draws into
// an offscreen framebuffer and scales it to the window: Mesa rasterises such a framebuffer
// differently (a few edge pixels) from a window or OSMesa's buffer, so tkmtool's pictures would no
// longer match the viewer's. Without effect on the original SDL 1.2. Called by
// window_system_init; a setting the user made in the environment is kept.
void prefer_window_framebuffer();

// The window's SDL video surface and window-manager record; null from a null window.
SDL_Surface *window_sdl_surface(const window_handle *window);
const SDL_SysWMinfo *window_sdl_wm_info(const window_handle *window);

// The viewer's record of an SDL event.
window_event window_event_from_sdl(const SDL_Event &event);

// The SDL joystick calls the window layer goes through, so they can be stood in for.
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

// The X connection SDL reads the window's events from, or -1 (also for a null window).
intptr_t window_sdl_event_descriptor(const window_handle *window);
