// SPDX-License-Identifier: MIT
// The event dispatcher's answers, the timer's hand-over to the main loop and the start-up
// joystick step.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/events_sdl.h"
#include "viewer/app/input.h"
#include "viewer/app/startup.h"

namespace {

SDL_Event active_event(Uint8 state, Uint8 gain) {
    SDL_Event event{};
    event.type = SDL_ACTIVEEVENT;
    event.active.state = state;
    event.active.gain = gain;
    return event;
}

SDL_Event typed_event(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

} // namespace

TEST(dispatch, the_application_activation_bit_sets_window_active) {
    app_state = app_state_record{};
    // X11 reports an unmap (iconify) with the input-focus bit as well, and a map without it.
    const struct {
        Uint8 state, gain;
        int32_t active;
    } rows[] = {
        {SDL_APPACTIVE | SDL_APPINPUTFOCUS, 0, 0},
        {SDL_APPINPUTFOCUS, 1, 0}, // focus alone changes nothing
        {SDL_APPMOUSEFOCUS, 1, 0},
        {SDL_APPACTIVE, 1, 1},
        {SDL_APPINPUTFOCUS, 0, 1},
        {SDL_APPACTIVE, 0, 0},
        {SDL_APPACTIVE | SDL_APPMOUSEFOCUS, 1, 1},
    };
    for (const auto &row : rows) {
        SDL_Event event = active_event(row.state, row.gain);
        EXPECT_EQ(dispatch_event(&event), 0);
        EXPECT_EQ(app_state.window_active, row.active) << int(row.state) << " " << int(row.gain);
    }
    app_state.window_active = 0;
    SDL_Event expose = typed_event(SDL_VIDEOEXPOSE);
    EXPECT_EQ(dispatch_event(&expose), 0);
    EXPECT_EQ(app_state.window_active, 1);
}

TEST(dispatch, the_wheel_buttons_step_the_distance_on_press) {
    app_state = app_state_record{};
    const struct {
        Uint8 type, button;
        float camera_z;
    } rows[] = {
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELUP, -64.0f},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_WHEELUP, -64.0f}, // the release that follows: nothing
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN, -96.0f},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_WHEELDOWN, -128.0f},
        {SDL_MOUSEBUTTONUP, SDL_BUTTON_WHEELDOWN, -128.0f},
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, -128.0f}, // drags act through the motion state
        {SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, -128.0f},
    };
    for (const auto &row : rows) {
        SDL_Event event = typed_event(row.type);
        event.button.button = row.button;
        event.button.state = row.type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        EXPECT_EQ(dispatch_event(&event), 0);
        EXPECT_FLOAT_EQ(app_state.camera_z, row.camera_z)
            << int(row.type) << " " << int(row.button);
    }
    EXPECT_FLOAT_EQ(app_state.camera_x, 0.0f);
    EXPECT_FLOAT_EQ(app_state.camera_orientation[3], 1.0f);
}

TEST(dispatch, quit_ends_the_loop_and_other_events_do_not) {
    app_state = app_state_record{};
    SDL_Event quit = typed_event(SDL_QUIT);
    EXPECT_EQ(dispatch_event(&quit), 1);
    for (Uint8 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_JOYAXISMOTION, SDL_VIDEORESIZE,
                       SDL_USEREVENT}) {
        SDL_Event event = typed_event(type);
        EXPECT_EQ(dispatch_event(&event), 0) << int(type);
    }
    EXPECT_EQ(app_state.window_active, 1);
}

TEST(dispatch, window_system_events_are_announced) {
    app_state = app_state_record{};
    SDL_Event event = typed_event(SDL_SYSWMEVENT);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dispatch_event(&event), 0);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "system event!\n");
}

TEST(timer, every_tick_is_one_frame_with_wrap_around_while_playing) {
    app_state = app_state_record{};
    tka_animation animation{};
    animation.num_frames = 10;
    app_state.animation = &animation;

    EXPECT_EQ(animation_timer(100), 100u);
    EXPECT_EQ(animation_timer(100), 100u);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0) << "paused: the ticks are dropped";

    app_state.animation_paused = 0;
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0) << "no tick pending";
    // Ticks that arrive while one pass of the loop takes long are all stepped.
    const struct {
        int ticks, from, to;
    } rows[] = {{1, 0, 1}, {5, 1, 6}, {4, 6, 0}, {3, 9, 2}, {23, 2, 5}, {10, 5, 5}, {1, 12, 0}};
    for (const auto &row : rows) {
        app_state.current_frame = row.from;
        for (int i = 0; i < row.ticks; i++)
            animation_timer(100);
        service_animation_timer();
        EXPECT_EQ(app_state.current_frame, row.to) << row.ticks << " ticks from " << row.from;
    }

    animation.num_frames = 0; // nothing to step through: nothing happens
    app_state.current_frame = 0;
    animation_timer(100);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0);
    app_state.animation = nullptr;
    animation_timer(100);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0);
}

// ---- the start-up joystick step, through stand-in joystick calls

namespace {

struct listed_joystick {
    const char *name; // as SDL returns it: may be null
    bool opens;
};
std::vector<listed_joystick> listed;
int listed_token;

const joystick_calls listed_calls = {
    [] { return static_cast<int>(listed.size()); },
    [](int index) -> SDL_Joystick * {
        return listed[static_cast<size_t>(index)].opens
                   ? reinterpret_cast<SDL_Joystick *>(&listed_token)
                   : nullptr;
    },
    [](SDL_Joystick *, int) -> int16_t { return 0; },
    [](SDL_Joystick *) {},
    [](int index) { return listed[static_cast<size_t>(index)].name; },
};

std::string joystick_step() {
    replace_joystick_calls(&listed_calls);
    testing::internal::CaptureStdout();
    check_joysticks();
    std::fflush(stdout);
    replace_joystick_calls(nullptr);
    return testing::internal::GetCapturedStdout();
}

} // namespace

TEST(joystick_step, lists_each_joystick_and_a_nameless_one_as_unknown) {
    app_state = app_state_record{};
    listed = {{"Pad", true}, {nullptr, true}, {"Stick", false}};
    EXPECT_EQ(joystick_step(), "Checking joysticks: 3\n"
                               "  Joystick 0: Pad (opened)\n"
                               "  Joystick 0: (unknown) (opened)\n"
                               "  Joystick 0: Stick (cannot open!)\n");
    listed = {};
    EXPECT_EQ(joystick_step(), "Checking joysticks: 0\n");
    app_state.joystick_enabled = 0;
    listed = {{nullptr, true}};
    EXPECT_EQ(joystick_step(), "Checking joysticks: disabled\n");
}
