// SPDX-License-Identifier: MIT
// The event handlers for SDL's own events, as SDL's users (tests that push SDL events) call them:
// each translates the event and hands it to the handler of the viewer's record.
#pragma once

#include <cstdint>

#include "viewer/window/window_sdl.h"

int32_t dispatch_event(const SDL_Event *event);
int32_t on_key_down(const SDL_Event *event);
int32_t on_key_up(const SDL_Event *event);
