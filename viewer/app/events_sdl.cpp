// SPDX-License-Identifier: MIT
// SDL events handed to the handlers of the viewer's records.
#include "viewer/app/events_sdl.h"

#include "viewer/app/input.h"
#include "viewer/app/startup.h"

namespace {

template <int32_t (*handle)(const window_event *)> int32_t translated(const SDL_Event *event) {
    if (!event) return handle(nullptr);
    const window_event record = window_event_from_sdl(*event);
    return handle(&record);
}

} // namespace

int32_t dispatch_event(const SDL_Event *event) {
    return translated<static_cast<int32_t (*)(const window_event *)>(dispatch_event)>(event);
}

int32_t on_key_down(const SDL_Event *event) {
    return translated<static_cast<int32_t (*)(const window_event *)>(on_key_down)>(event);
}

int32_t on_key_up(const SDL_Event *event) {
    return translated<static_cast<int32_t (*)(const window_event *)>(on_key_up)>(event);
}
