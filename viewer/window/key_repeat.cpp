// SPDX-License-Identifier: MIT
// Held keys and the wait for their next repeat.
#include "viewer/window/key_repeat.h"

namespace {

int32_t held_index(const key_repeat_state &state, int32_t key) {
    for (int32_t i = 0; i < state.num_held; i++)
        if (state.held[i] == key) return i;
    return -1;
}

} // namespace

void note_key_event(key_repeat_state *state, const window_event &event, uint32_t now_ms) {
    switch (event.type) {
    case window_event_key_down:
        state->last_key_ms = now_ms;
        if (held_index(*state, event.key.symbol) < 0 && state->num_held < max_held_keys)
            state->held[state->num_held++] = event.key.symbol;
        return;
    case window_event_key_up: {
        const int32_t at = held_index(*state, event.key.symbol);
        if (at < 0) return;
        state->held[at] = state->held[--state->num_held];
        return;
    }
    case window_event_active:
        if ((event.active.state & window_input_focus) && !event.active.gain) state->num_held = 0;
        return;
    default:
        return;
    }
}

int32_t key_repeat_timeout_ms(const key_repeat_state &state, uint32_t now_ms) {
    if (state.num_held == 0) return -1;
    const uint32_t wait = static_cast<uint32_t>(state.interval_ms) + 1;
    const uint32_t since = now_ms - state.last_key_ms; // wraps with the clock
    return static_cast<int32_t>(since < wait ? wait - since : wait);
}
