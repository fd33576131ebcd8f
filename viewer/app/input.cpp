// SPDX-License-Identifier: MIT
// Camera and animation input: key table, the two mouse modes, and the joystick poll.
#include "viewer/app/input.h"

#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/app/command_keys.h"
#include "viewer/math/math3d.h"

namespace {

constexpr float key_step = 4.0f;
constexpr float wheel_step = 32.0f;
constexpr float turn_scale = 0.00390625f; // 256 degrees across the window
constexpr float move_scale = 0.03125f;    // 32 units across the window
constexpr float joystick_dead_zone = 5000.0f;
constexpr float joystick_degrees = 6.103515625e-05f; // 1/16384 degree per unit and frame

enum : uint8_t {
    button_left = 1,
    button_middle = 2,
    button_right = 4,
    wheel_up = 8,
    wheel_down = 16,
};

struct key_action {
    SDLKey key;
    void (*act)();
};

constexpr key_action key_down_actions[] = {
    {SDLK_w, [] { app_state.camera_z += key_step; }},
    {SDLK_s, [] { app_state.camera_z -= key_step; }},
    {SDLK_a, [] { app_state.camera_x -= key_step; }},
    {SDLK_d, [] { app_state.camera_x += key_step; }},
    {SDLK_r, [] { app_state.camera_y += key_step; }},
    {SDLK_f, [] { app_state.camera_y -= key_step; }},
    {SDLK_SPACE, [] { app_state.animation_paused = app_state.animation_paused ? 0 : 1; }},
    {SDLK_RIGHT, [] { next_frame(); }},
    {SDLK_LEFT, [] { previous_frame(); }},
    {SDLK_LALT, [] { app_state.alt_held = 1; }},
};

struct joystick_axis {
    int axis;
    float turn[3];
};

// Axis 2 is not read.
constexpr joystick_axis joystick_axes[] = {
    {0, {0.0f, 0.0f, 1.0f}},
    {1, {1.0f, 0.0f, 0.0f}},
    {3, {0.0f, 1.0f, 0.0f}},
};

int16_t sdl_axis(SDL_Joystick *joystick, int axis) {
    return SDL_JoystickGetAxis(joystick, axis);
}

const joystick_calls sdl_calls = {SDL_NumJoysticks, SDL_JoystickOpen, sdl_axis, SDL_JoystickClose,
                                  SDL_JoystickName};
const joystick_calls *calls_in_use = &sdl_calls;

} // namespace

int32_t on_key_down(const SDL_Event *event) {
    if (!event) return 0;
    for (const key_action &row : key_down_actions)
        if (row.key == event->key.keysym.sym) row.act();
    return 0;
}

int32_t on_key_up(const SDL_Event *event) {
    if (!event) return 0;
    if (event->key.keysym.sym == SDLK_LALT)
        app_state.alt_held = 0;
    else
        on_command_key(event->key.keysym.sym);
    return 0;
}

void on_mouse_motion(uint8_t state, int16_t dx, int16_t dy) {
    if (state == 0) return;
    if (state & wheel_up)
        app_state.camera_z += wheel_step;
    else if (state & wheel_down)
        app_state.camera_z -= wheel_step;

    // Each angle and offset comes from the integer motion over the integer window size.
    const float width = static_cast<float>(app_state.window_width);
    const float height = static_cast<float>(app_state.window_height);
    const float x = static_cast<float>(dx);
    const float y = static_cast<float>(dy);
    if ((state & button_middle) || app_state.alt_held) {
        if (state & button_left) {
            const float view_axis[3] = {0.0f, 0.0f, 1.0f};
            quat_rotate(app_state.camera_orientation, x / (width * turn_scale), view_axis);
        }
        if (state & button_right)
            app_state.camera_z =
                app_state.camera_z + y / (height * move_scale) + x / (width * move_scale);
        return;
    }
    if (state & button_left) {
        quat_rotate_xyz(app_state.camera_orientation, x / (width * turn_scale), 0, 1, 0);
        quat_rotate_xyz(app_state.camera_orientation, y / (height * turn_scale), 1, 0, 0);
    }
    if (state & button_right) {
        app_state.camera_x += x / (width * move_scale);
        app_state.camera_y -= y / (height * move_scale);
    }
}

void on_mouse_button_down(uint8_t button) {
    if (button == SDL_BUTTON_WHEELUP)
        app_state.camera_z += wheel_step;
    else if (button == SDL_BUTTON_WHEELDOWN)
        app_state.camera_z -= wheel_step;
}

void poll_joysticks() {
    const joystick_calls &calls = *calls_in_use;
    if (calls.count() < 1) return;
    for (int index = 0; index < calls.count(); index++) {
        SDL_Joystick *joystick = calls.open(index);
        if (!joystick) continue;
        for (const joystick_axis &row : joystick_axes) {
            float value = static_cast<float>(calls.axis(joystick, row.axis));
            if (value > joystick_dead_zone || value < -joystick_dead_zone) {
                float turn[4];
                quat_from_axis_angle(turn, value * joystick_degrees, row.turn);
                quat_multiply(app_state.camera_orientation, app_state.camera_orientation, turn);
                quat_normalize(app_state.camera_orientation, app_state.camera_orientation);
            }
        }
        calls.close(joystick);
    }
}

const joystick_calls &current_joystick_calls() {
    return *calls_in_use;
}

void replace_joystick_calls(const joystick_calls *calls) {
    calls_in_use = calls ? calls : &sdl_calls;
}
