// SPDX-License-Identifier: MIT
// While a key is held the wait ends by the time its next repeat is due; with nothing held it has
// no deadline, so the viewer rests.
#include <gtest/gtest.h>

#include <cstdlib>

#include "viewer/window/key_repeat.h"
#include "viewer/window/window_sdl.h"

namespace {

window_event key(int32_t type, int32_t symbol) {
    window_event event;
    event.type = type;
    event.key.symbol = symbol;
    return event;
}

window_event focus_lost() {
    window_event event;
    event.type = window_event_active;
    event.active = {0, window_input_focus};
    return event;
}

} // namespace

// SDL 1.2 repeats a key once more than an interval has passed since the last repeat (the first
// after the delay and then an interval): the look is due an interval and a millisecond after it.
TEST(key_repeat, the_wait_ends_when_the_next_repeat_is_due) {
    key_repeat_state state;
    state.interval_ms = 30;
    EXPECT_EQ(key_repeat_timeout_ms(state, 1000), -1) << "nothing held: no deadline";
    note_key_event(&state, key(window_event_key_down, keysym_s), 1000);
    struct row {
        uint32_t now;
        int32_t timeout;
    } rows[] = {
        {1000, 31}, {1010, 21}, {1030, 1}, {1031, 31}, // past due without a repeat: a full interval
        {1100, 31},
    };
    for (const row &r : rows)
        EXPECT_EQ(key_repeat_timeout_ms(state, r.now), r.timeout) << r.now;
    // A repeat read at 1062 moves the next look on.
    note_key_event(&state, key(window_event_key_down, keysym_s), 1062);
    EXPECT_EQ(key_repeat_timeout_ms(state, 1070), 23);
    note_key_event(&state, key(window_event_key_up, keysym_s), 1080);
    EXPECT_EQ(key_repeat_timeout_ms(state, 1080), -1) << "released: the viewer rests";
}

TEST(key_repeat, another_interval_gives_another_deadline) {
    key_repeat_state state;
    state.interval_ms = 100;
    note_key_event(&state, key(window_event_key_down, keysym_w), 0);
    EXPECT_EQ(key_repeat_timeout_ms(state, 0), 101);
    EXPECT_EQ(key_repeat_timeout_ms(state, 50), 51);
}

TEST(key_repeat, the_clock_wrapping_round_changes_nothing) {
    key_repeat_state state;
    note_key_event(&state, key(window_event_key_down, keysym_w), 0xFFFFFFF0u);
    EXPECT_EQ(key_repeat_timeout_ms(state, 0xFFFFFFF0u + 10u), 21);
}

TEST(key_repeat, a_key_counts_as_held_until_its_own_release) {
    key_repeat_state state;
    note_key_event(&state, key(window_event_key_down, keysym_w), 0);
    note_key_event(&state, key(window_event_key_down, keysym_a), 5);
    note_key_event(&state, key(window_event_key_up, keysym_w), 10);
    EXPECT_EQ(key_repeat_timeout_ms(state, 10), 26) << "a is still down";
    note_key_event(&state, key(window_event_key_up, keysym_d), 12); // never pressed
    EXPECT_EQ(state.num_held, 1);
    note_key_event(&state, key(window_event_key_up, keysym_a), 20);
    EXPECT_EQ(key_repeat_timeout_ms(state, 20), -1);
}

TEST(key_repeat, a_repeat_of_a_held_key_is_not_a_second_key) {
    key_repeat_state state;
    for (uint32_t t = 0; t < 300; t += 31)
        note_key_event(&state, key(window_event_key_down, keysym_s), t);
    EXPECT_EQ(state.num_held, 1);
    note_key_event(&state, key(window_event_key_up, keysym_s), 300);
    EXPECT_EQ(key_repeat_timeout_ms(state, 300), -1);
}

TEST(key_repeat, losing_the_input_focus_lets_every_key_go) {
    key_repeat_state state;
    note_key_event(&state, key(window_event_key_down, keysym_w), 0);
    note_key_event(&state, key(window_event_key_down, keysym_left_alt), 0);
    window_event mouse_left = focus_lost();
    mouse_left.active.state = window_mouse_focus; // the pointer leaving keeps the keys
    note_key_event(&state, mouse_left, 1);
    EXPECT_EQ(state.num_held, 2);
    note_key_event(&state, focus_lost(), 2);
    EXPECT_EQ(key_repeat_timeout_ms(state, 2), -1);
}

TEST(key_repeat, more_keys_than_followed_are_not_written_past_the_table) {
    key_repeat_state state;
    for (int32_t k = 0; k < max_held_keys + 4; k++)
        note_key_event(&state, key(window_event_key_down, keysym_a + k), 0);
    EXPECT_EQ(state.num_held, max_held_keys);
}

// The SDL backend: a key-down read through the layer's poll gives its wait a deadline within the
// repeat interval; its release takes it away again. SDL's dummy driver needs no display.
TEST(key_repeat, the_sdl_wait_has_a_deadline_only_while_a_key_is_held) {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    ASSERT_EQ(SDL_EnableKeyRepeat(30, 30), 0);
    window_event event;
    while (window_poll_event(&event)) {
    }
    EXPECT_EQ(window_wait_timeout_ms(), -1);
    for (Uint8 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        SDL_Event sdl{};
        sdl.type = type;
        sdl.key.type = type;
        sdl.key.keysym.sym = SDLK_s;
        ASSERT_EQ(SDL_PushEvent(&sdl), 0);
        ASSERT_EQ(window_poll_event(&event), 1);
        EXPECT_EQ(event.key.symbol, keysym_s);
        const int32_t timeout = window_wait_timeout_ms();
        if (type == SDL_KEYDOWN) {
            EXPECT_GT(timeout, 0);
            EXPECT_LE(timeout, 31) << "longer than the repeat interval: a held key steps slower";
        } else {
            EXPECT_EQ(timeout, -1) << "nothing held: the wait must rest";
        }
    }
    SDL_Event press{};
    press.type = press.key.type = SDL_KEYDOWN;
    press.key.keysym.sym = SDLK_w;
    ASSERT_EQ(SDL_PushEvent(&press), 0);
    ASSERT_EQ(window_poll_event(&event), 1);
    SDL_EnableKeyRepeat(0, 0);
    EXPECT_EQ(window_wait_timeout_ms(), -1) << "without repeats there is nothing to wait for";
    SDL_Quit();
}
