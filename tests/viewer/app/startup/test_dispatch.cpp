// The event dispatcher's answers and the timer's hand-over to the main loop.
#include <gtest/gtest.h>

#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/startup.h"

namespace {

SDL_Event active_event(Uint8 state, Uint8 gain)
{
    SDL_Event event{};
    event.type = SDL_ACTIVEEVENT;
    event.active.state = state;
    event.active.gain = gain;
    return event;
}

SDL_Event typed_event(Uint8 type)
{
    SDL_Event event{};
    event.type = type;
    return event;
}

} // namespace

TEST(dispatch, only_application_activation_changes_window_active)
{
    app_state = app_state_record{};
    SDL_Event iconified = active_event(SDL_APPACTIVE, 0);
    EXPECT_EQ(dispatch_event(&iconified), 0);
    EXPECT_EQ(app_state.window_active, 0);
    SDL_Event focus_gained = active_event(SDL_APPINPUTFOCUS, 1);
    EXPECT_EQ(dispatch_event(&focus_gained), 0);
    EXPECT_EQ(app_state.window_active, 0);
    SDL_Event combined = active_event(SDL_APPACTIVE | SDL_APPMOUSEFOCUS, 1);
    EXPECT_EQ(dispatch_event(&combined), 0);
    EXPECT_EQ(app_state.window_active, 0);
    SDL_Event expose = typed_event(SDL_VIDEOEXPOSE);
    EXPECT_EQ(dispatch_event(&expose), 0);
    EXPECT_EQ(app_state.window_active, 1);
    SDL_Event restored = active_event(SDL_APPACTIVE, 1);
    app_state.window_active = 0;
    EXPECT_EQ(dispatch_event(&restored), 0);
    EXPECT_EQ(app_state.window_active, 1);
}

TEST(dispatch, quit_ends_the_loop_and_other_events_do_not)
{
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

TEST(dispatch, window_system_events_are_announced)
{
    app_state = app_state_record{};
    SDL_Event event = typed_event(SDL_SYSWMEVENT);
    testing::internal::CaptureStdout();
    EXPECT_EQ(dispatch_event(&event), 0);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "system event!\n");
}

TEST(timer, ticks_coalesce_and_advance_only_while_playing)
{
    app_state = app_state_record{};
    tka_animation animation{};
    animation.num_frames = 10;
    app_state.animation = &animation;

    EXPECT_EQ(animation_timer(100), 100u);
    EXPECT_EQ(animation_timer(100), 100u);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0) << "paused: the tick is taken but nothing moves";

    app_state.animation_paused = 0;
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0) << "no tick pending";
    for (int i = 0; i < 5; i++) animation_timer(100);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 1) << "five ticks while blocked are one step";

    app_state.current_frame = 9;
    animation_timer(100);
    service_animation_timer();
    EXPECT_EQ(app_state.current_frame, 0);
    app_state.animation = nullptr;
}
