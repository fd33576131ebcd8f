// SPDX-License-Identifier: MIT
// Held keys and when their next repeat is due. A system that makes key repeats only while its
// events are read (SDL 1.2) must be read again by then, or a held key steps only as often as
// something else wakes the viewer.
#pragma once

#include <cstdint>

#include "viewer/window/window.h"

// Keys down at once that are followed; more are rare, and the repeat follows only the last.
inline constexpr int32_t max_held_keys = 8;

struct key_repeat_state {
    int32_t interval_ms = 30;
    int32_t num_held = 0;
    int32_t held[max_held_keys] = {};
    uint32_t last_key_ms = 0; // when the last key-down (first or repeated) was read
};

// Follows the keys event presses and releases, read at now_ms; losing the input focus lets
// every key go, since their releases go elsewhere.
void note_key_event(key_repeat_state *state, const window_event &event, uint32_t now_ms);

// ms until the events should be read again at now_ms for the next repeat of a held key (at
// least 1), or -1 while no key is held. The first repeat waits the delay and then an interval
// after it, and the system repeats only once an interval has passed: a look an interval and a
// millisecond after the last key-down, else a full one from now.
int32_t key_repeat_timeout_ms(const key_repeat_state &state, uint32_t now_ms);
