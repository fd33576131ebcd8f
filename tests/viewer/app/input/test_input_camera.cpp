// SPDX-License-Identifier: MIT
// Camera keys, the two mouse modes and the joystick poll (through stand-in joystick calls).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fixtures/sdl_events.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/input.h"
#include "viewer/math/math3d.h"

namespace {

int32_t press(SDLKey key, SDLMod modifiers = KMOD_NONE) {
    SDL_Event event = key_event(SDL_KEYDOWN, key, modifiers);
    return on_key_down(&event);
}

int32_t release(SDLKey key) {
    SDL_Event event = key_event(SDL_KEYUP, key);
    return on_key_up(&event);
}

void expect_quat_near(const float *actual, const float *expected, float tolerance = 1e-5f) {
    // q and -q are the same turn.
    float sign = actual[0] * expected[0] + actual[1] * expected[1] + actual[2] * expected[2] +
                             actual[3] * expected[3] <
                         0
                     ? -1.0f
                     : 1.0f;
    for (int i = 0; i < 4; i++)
        EXPECT_NEAR(actual[i], sign * expected[i], tolerance) << "component " << i;
}

class camera_input : public ::testing::Test {
  protected:
    void SetUp() override { app_state = app_state_record{}; }
    void TearDown() override { replace_joystick_calls(nullptr); }
};

TEST_F(camera_input, camera_keys_step_by_four_on_every_key_down) {
    struct row {
        SDLKey key;
        float dx, dy, dz;
    };
    const row rows[] = {
        {SDLK_w, 0, 0, 4}, {SDLK_s, 0, 0, -4}, {SDLK_a, -4, 0, 0},
        {SDLK_d, 4, 0, 0}, {SDLK_r, 0, 4, 0},  {SDLK_f, 0, -4, 0},
    };
    for (const row &r : rows) {
        app_state = app_state_record{};
        EXPECT_EQ(press(r.key), 0);
        EXPECT_EQ(press(r.key), 0); // a key repeat is one more key-down
        EXPECT_FLOAT_EQ(app_state.camera_x, 0.0f + 2 * r.dx) << r.key;
        EXPECT_FLOAT_EQ(app_state.camera_y, -40.0f + 2 * r.dy) << r.key;
        EXPECT_FLOAT_EQ(app_state.camera_z, -96.0f + 2 * r.dz) << r.key;
    }
}

TEST_F(camera_input, shift_and_caps_lock_do_not_change_a_key) {
    press(SDLK_w, KMOD_LSHIFT);
    press(SDLK_w, KMOD_CAPS);
    EXPECT_FLOAT_EQ(app_state.camera_z, -88.0f);
}

TEST_F(camera_input, releasing_camera_keys_does_nothing) {
    release(SDLK_w);
    release(SDLK_SPACE);
    EXPECT_FLOAT_EQ(app_state.camera_z, -96.0f);
    EXPECT_EQ(app_state.animation_paused, 1);
}

TEST_F(camera_input, space_plays_and_pauses) {
    press(SDLK_SPACE);
    EXPECT_EQ(app_state.animation_paused, 0);
    press(SDLK_SPACE);
    EXPECT_EQ(app_state.animation_paused, 1);
}

TEST_F(camera_input, arrows_step_the_frame_with_wrap_around) {
    tka_animation animation{};
    animation.num_frames = 3;
    app_state.animation = &animation;
    press(SDLK_RIGHT);
    EXPECT_EQ(app_state.current_frame, 1);
    press(SDLK_LEFT);
    press(SDLK_LEFT);
    EXPECT_EQ(app_state.current_frame, 2);
    app_state.animation = nullptr;
}

TEST_F(camera_input, left_alt_holds_the_alternate_mode_until_its_own_release) {
    press(SDLK_LALT);
    EXPECT_EQ(app_state.alt_held, 1);
    release(SDLK_RALT);
    release(SDLK_w);
    EXPECT_EQ(app_state.alt_held, 1);
    release(SDLK_LALT);
    EXPECT_EQ(app_state.alt_held, 0);
    press(SDLK_RALT);
    EXPECT_EQ(app_state.alt_held, 0) << "the right Alt key does not select the mode";
}

TEST_F(camera_input, other_releases_go_to_the_command_keys) {
    EXPECT_EQ(release(SDLK_8), 0);
    EXPECT_EQ(app_state.show_normals, 1) << "8 flips the normals overlay on release";
    press(SDLK_8);
    EXPECT_EQ(app_state.show_normals, 1) << "command keys do nothing on key-down";
}

TEST_F(camera_input, a_full_width_left_drag_turns_256_degrees_about_y) {
    on_mouse_motion(1, 640, 0);
    float expected[4];
    const float y_axis[3] = {0, 1, 0};
    quat_from_axis_angle(expected, 256.0f, y_axis);
    expect_quat_near(app_state.camera_orientation, expected);

    app_state = app_state_record{};
    on_mouse_motion(1, 0, 480); // the full height turns about x
    const float x_axis[3] = {1, 0, 0};
    quat_from_axis_angle(expected, 256.0f, x_axis);
    expect_quat_near(app_state.camera_orientation, expected);
}

TEST_F(camera_input, turns_are_about_the_models_own_axes) {
    on_mouse_motion(1, 160, 120); // 64 degrees about y, then 64 about the turned x
    float expected[4] = {0, 0, 0, 1};
    quat_rotate_xyz(expected, 64.0f, 0, 1, 0);
    quat_rotate_xyz(expected, 64.0f, 1, 0, 0);
    expect_quat_near(app_state.camera_orientation, expected);
}

TEST_F(camera_input, a_right_drag_moves_the_model_with_the_pointer) {
    on_mouse_motion(4, 20, 15); // 32 units across the width, 32 across the height
    EXPECT_FLOAT_EQ(app_state.camera_x, 1.0f);
    EXPECT_FLOAT_EQ(app_state.camera_y, -41.0f);
    EXPECT_FLOAT_EQ(app_state.camera_z, -96.0f);
}

TEST_F(camera_input, both_buttons_turn_and_move_in_one_event) {
    on_mouse_motion(1 | 4, 20, 0);
    EXPECT_FLOAT_EQ(app_state.camera_x, 1.0f);
    EXPECT_GT(std::fabs(app_state.camera_orientation[1]), 0.05f);
}

TEST_F(camera_input, alternate_mode_rolls_and_zooms) {
    press(SDLK_LALT);
    on_mouse_motion(4, 20, 0);
    EXPECT_FLOAT_EQ(app_state.camera_z, -95.0f) << "20 pixels right at width 640 add 1";
    on_mouse_motion(4, 0, 15);
    EXPECT_FLOAT_EQ(app_state.camera_z, -94.0f);
    EXPECT_FLOAT_EQ(app_state.camera_x, 0.0f);

    on_mouse_motion(1, 160, 0);
    float expected[4];
    const float z_axis[3] = {0, 0, 1};
    quat_from_axis_angle(expected, 64.0f, z_axis);
    expect_quat_near(app_state.camera_orientation, expected);
}

TEST_F(camera_input, the_middle_button_also_selects_the_alternate_mode) {
    on_mouse_motion(2 | 4, 20, 0);
    EXPECT_FLOAT_EQ(app_state.camera_z, -95.0f);
    EXPECT_FLOAT_EQ(app_state.camera_x, 0.0f);
}

TEST_F(camera_input, the_wheel_steps_the_distance_and_no_button_does_nothing) {
    on_mouse_motion(8, 0, 0);
    EXPECT_FLOAT_EQ(app_state.camera_z, -64.0f);
    on_mouse_motion(16, 0, 0);
    EXPECT_FLOAT_EQ(app_state.camera_z, -96.0f);
    on_mouse_motion(8 | 16, 0, 0);
    EXPECT_FLOAT_EQ(app_state.camera_z, -64.0f) << "wheel up wins over wheel down";
    on_mouse_motion(0, 300, 300);
    EXPECT_FLOAT_EQ(app_state.camera_z, -64.0f);
    EXPECT_FLOAT_EQ(app_state.camera_orientation[3], 1.0f);
}

TEST_F(camera_input, the_window_size_scales_the_motion) {
    app_state.window_width = 320;
    on_mouse_motion(4, 20, 0);
    EXPECT_FLOAT_EQ(app_state.camera_x, 2.0f);
}

// ---- joystick poll through stand-in calls

struct fake_joysticks {
    int count = 1;
    std::vector<int16_t> axes = {0, 0, 0, 0};
    bool open_fails = false;
    int opened = 0, closed = 0;
    std::vector<int> axes_read;
};
fake_joysticks *fake = nullptr;
int fake_token;

const joystick_calls fake_calls = {
    [] { return fake->count; },
    [](int) -> SDL_Joystick * {
        if (fake->open_fails) return nullptr;
        fake->opened++;
        return reinterpret_cast<SDL_Joystick *>(&fake_token);
    },
    [](SDL_Joystick *, int axis) -> int16_t {
        fake->axes_read.push_back(axis);
        return fake->axes[static_cast<std::size_t>(axis)];
    },
    [](SDL_Joystick *) { fake->closed++; },
    [](int) -> const char * { return "Fake stick"; },
};

class joystick_poll : public camera_input {
  protected:
    void SetUp() override {
        camera_input::SetUp();
        fake = &joysticks;
        replace_joystick_calls(&fake_calls);
    }
    fake_joysticks joysticks;
};

TEST_F(joystick_poll, no_joystick_returns_at_once) {
    joysticks.count = 0;
    poll_joysticks();
    EXPECT_EQ(joysticks.opened, 0);
    EXPECT_FLOAT_EQ(app_state.camera_orientation[3], 1.0f);
}

TEST_F(joystick_poll, the_dead_zone_ignores_5000_and_less) {
    joysticks.axes = {5000, -5000, 12345, 4999};
    poll_joysticks();
    EXPECT_EQ(joysticks.opened, 1);
    EXPECT_EQ(joysticks.closed, 1) << "nothing stays open between frames";
    EXPECT_EQ(joysticks.axes_read, (std::vector<int>{0, 1, 3})) << "axis 2 is not read";
    const float identity[4] = {0, 0, 0, 1};
    expect_quat_near(app_state.camera_orientation, identity, 0.0f);
}

TEST_F(joystick_poll, full_deflection_turns_one_degree_per_frame_about_each_axis) {
    struct row {
        std::size_t axis;
        float turn[3];
    };
    const row rows[] = {{0, {0, 0, 1}}, {1, {1, 0, 0}}, {3, {0, 1, 0}}};
    for (const row &r : rows) {
        app_state = app_state_record{};
        joysticks.axes = {0, 0, 0, 0};
        joysticks.axes[r.axis] = 16384;
        poll_joysticks();
        poll_joysticks();
        float expected[4];
        quat_from_axis_angle(expected, 2.0f, r.turn);
        expect_quat_near(app_state.camera_orientation, expected);
    }
    app_state = app_state_record{};
    joysticks.axes = {-16384, 0, 0, 0};
    poll_joysticks();
    float expected[4];
    const float z_axis[3] = {0, 0, 1};
    quat_from_axis_angle(expected, -1.0f, z_axis);
    expect_quat_near(app_state.camera_orientation, expected);
}

TEST_F(joystick_poll, a_joystick_that_will_not_open_is_skipped) {
    joysticks.count = 2;
    joysticks.open_fails = true;
    joysticks.axes = {20000, 20000, 20000, 20000};
    poll_joysticks();
    EXPECT_EQ(joysticks.closed, 0);
    EXPECT_FLOAT_EQ(app_state.camera_orientation[3], 1.0f);
}

TEST_F(joystick_poll, every_joystick_is_read) {
    joysticks.count = 3;
    poll_joysticks();
    EXPECT_EQ(joysticks.opened, 3);
    EXPECT_EQ(joysticks.closed, 3);
}

TEST(joystick_calls, sdl_is_used_when_nothing_stands_in) {
    replace_joystick_calls(nullptr);
    EXPECT_EQ(current_joystick_calls().count, &SDL_NumJoysticks);
}

} // namespace
