// SPDX-License-Identifier: MIT
// SDL 1.2's events as the viewer's records, the wait between frames, the timer and joysticks.
#include "viewer/window/window_sdl.h"

#include <algorithm>

#include "viewer/window/key_repeat.h"

namespace {

// ---- events

struct event_type_row {
    Uint8 sdl;
    int32_t viewer;
};
constexpr event_type_row event_types[] = {
    {SDL_ACTIVEEVENT, window_event_active},
    {SDL_KEYDOWN, window_event_key_down},
    {SDL_KEYUP, window_event_key_up},
    {SDL_MOUSEMOTION, window_event_mouse_motion},
    {SDL_MOUSEBUTTONDOWN, window_event_mouse_button_down},
    {SDL_MOUSEBUTTONUP, window_event_mouse_button_up},
    {SDL_QUIT, window_event_quit},
    {SDL_SYSWMEVENT, window_event_system},
    {SDL_VIDEORESIZE, window_event_resize},
    {SDL_VIDEOEXPOSE, window_event_expose},
};

// The keys held in the window, for the wait; the repeat interval is the window's.
key_repeat_state held_keys;

// ---- waiting

window_wait_calls wait_calls{};

// Without a GUI loop nothing watches SDL's descriptor: a short nap, shorter when a repeat is due.
constexpr int32_t nap_ms = 10;

void (*timer_tick)() = nullptr;

Uint32 on_sdl_timer(Uint32 interval) {
    if (timer_tick) timer_tick();
    return interval;
}

// ---- joysticks

int16_t sdl_axis(SDL_Joystick *joystick, int axis) {
    return SDL_JoystickGetAxis(joystick, axis);
}

const joystick_calls sdl_calls = {SDL_NumJoysticks, SDL_JoystickOpen, sdl_axis, SDL_JoystickClose,
                                  SDL_JoystickName};
const joystick_calls *calls_in_use = &sdl_calls;

SDL_Joystick *sdl_joystick(window_joystick *joystick) {
    return reinterpret_cast<SDL_Joystick *>(joystick);
}

} // namespace

window_event window_event_from_sdl(const SDL_Event &event) {
    window_event out;
    for (const event_type_row &row : event_types)
        if (row.sdl == event.type) out.type = row.viewer;
    switch (out.type) {
    case window_event_active:
        out.active = {event.active.gain, event.active.state};
        break;
    case window_event_key_down:
    case window_event_key_up:
        out.key.symbol = static_cast<int32_t>(event.key.keysym.sym);
        out.key.modifiers = static_cast<uint32_t>(event.key.keysym.mod);
        out.key.unicode = event.key.keysym.unicode;
        break;
    case window_event_mouse_motion:
        out.motion.buttons = event.motion.state;
        out.motion.x = event.motion.x;
        out.motion.y = event.motion.y;
        out.motion.dx = event.motion.xrel;
        out.motion.dy = event.motion.yrel;
        break;
    case window_event_mouse_button_down:
    case window_event_mouse_button_up:
        out.button = event.button.button;
        break;
    case window_event_resize:
        out.resize = {event.resize.w, event.resize.h};
        break;
    default:
        break;
    }
    return out;
}

int32_t window_poll_event(window_event *event) {
    SDL_Event taken;
    if (!SDL_PollEvent(&taken)) return 0;
    *event = window_event_from_sdl(taken);
    note_key_event(&held_keys, *event, SDL_GetTicks());
    return 1;
}

void set_window_wait_calls(const window_wait_calls *calls) {
    wait_calls = calls ? *calls : window_wait_calls{};
}

int32_t window_wait_timeout_ms() {
    int delay = 0, interval = 0;
    SDL_GetKeyRepeat(&delay, &interval);
    if (interval <= 0) return -1; // no repeats to wait for
    held_keys.interval_ms = interval;
    return key_repeat_timeout_ms(held_keys, SDL_GetTicks());
}

void window_wait(const window_handle *window) {
    const int32_t timeout = window_wait_timeout_ms();
    if (wait_calls.wait) {
        wait_calls.wait(window_sdl_event_descriptor(window), timeout);
        return;
    }
    SDL_Delay(static_cast<Uint32>(timeout < 0 ? nap_ms : std::min(timeout, nap_ms)));
}

void window_wake() {
    if (wait_calls.wake) wait_calls.wake();
}

int32_t window_start_timer(uint32_t interval_ms, void (*tick)()) {
    if (!tick) return 0;
    if (wait_calls.add_timer && wait_calls.add_timer(interval_ms, tick)) return 1;
    // SDL's timer thread: the tick must only count and wake.
    timer_tick = tick;
    if (SDL_InitSubSystem(SDL_INIT_TIMER) < 0) return 0;
    return SDL_SetTimer(interval_ms, on_sdl_timer) == 0 ? 1 : 0;
}

int32_t window_joystick_count() {
    return calls_in_use->count();
}

const char *window_joystick_name(int32_t index) {
    return calls_in_use->name ? calls_in_use->name(index) : nullptr;
}

void window_joystick_events_on() {
    SDL_JoystickEventState(SDL_ENABLE);
}

window_joystick *window_joystick_open(int32_t index) {
    return reinterpret_cast<window_joystick *>(calls_in_use->open(index));
}

int16_t window_joystick_axis(window_joystick *joystick, int32_t axis) {
    return calls_in_use->axis(sdl_joystick(joystick), axis);
}

void window_joystick_close(window_joystick *joystick) {
    calls_in_use->close(sdl_joystick(joystick));
}

const joystick_calls &current_joystick_calls() {
    return *calls_in_use;
}

void replace_joystick_calls(const joystick_calls *calls) {
    calls_in_use = calls ? calls : &sdl_calls;
}
