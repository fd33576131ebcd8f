// SPDX-License-Identifier: MIT
// Camera and animation input: key table, the two mouse modes, and the joystick poll.
#include "viewer/app/input.h"

#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/app/command_keys.h"
#include "viewer/math/math3d.h"
#include "viewer/window/window.h"

namespace {

constexpr float key_step = 4.0f;
constexpr float wheel_step = 32.0f;
constexpr float turn_scale = 0.00390625f; // 256 degrees across the window
constexpr float move_scale = 0.03125f;    // 32 units across the window
constexpr float joystick_dead_zone = 5000.0f;
constexpr float joystick_degrees = 6.103515625e-05f; // 1/16384 degree per unit and frame

struct key_action {
    int32_t key;
    void (*act)();
};

constexpr key_action key_down_actions[] = {
    {keysym_w, [] { app_state.camera_z += key_step; }},
    {keysym_s, [] { app_state.camera_z -= key_step; }},
    {keysym_a, [] { app_state.camera_x -= key_step; }},
    {keysym_d, [] { app_state.camera_x += key_step; }},
    {keysym_r, [] { app_state.camera_y += key_step; }},
    {keysym_f, [] { app_state.camera_y -= key_step; }},
    {keysym_space, [] { app_state.animation_paused = app_state.animation_paused ? 0 : 1; }},
    {keysym_right, [] { next_frame(); }},
    {keysym_left, [] { previous_frame(); }},
    {keysym_left_alt, [] { app_state.alt_held = 1; }},
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

} // namespace

int32_t on_key_down(const window_event *event) {
    if (!event) return 0;
    for (const key_action &row : key_down_actions)
        if (row.key == event->key.symbol) row.act();
    return 0;
}

int32_t on_key_up(const window_event *event) {
    if (!event) return 0;
    if (event->key.symbol == keysym_left_alt)
        app_state.alt_held = 0;
    else
        on_command_key(event->key.symbol);
    return 0;
}

void on_mouse_motion(uint8_t state, int16_t dx, int16_t dy) {
    if (state == 0) return;
    if (state & mouse_mask_wheel_up)
        app_state.camera_z += wheel_step;
    else if (state & mouse_mask_wheel_down)
        app_state.camera_z -= wheel_step;

    // Each angle and offset comes from the integer motion over the integer window size.
    const float width = static_cast<float>(app_state.window_width);
    const float height = static_cast<float>(app_state.window_height);
    const float x = static_cast<float>(dx);
    const float y = static_cast<float>(dy);
    if ((state & mouse_mask_middle) || app_state.alt_held) {
        if (state & mouse_mask_left) {
            const float view_axis[3] = {0.0f, 0.0f, 1.0f};
            quat_rotate(app_state.camera_orientation, x / (width * turn_scale), view_axis);
        }
        if (state & mouse_mask_right)
            app_state.camera_z =
                app_state.camera_z + y / (height * move_scale) + x / (width * move_scale);
        return;
    }
    if (state & mouse_mask_left) {
        quat_rotate_xyz(app_state.camera_orientation, x / (width * turn_scale), 0, 1, 0);
        quat_rotate_xyz(app_state.camera_orientation, y / (height * turn_scale), 1, 0, 0);
    }
    if (state & mouse_mask_right) {
        app_state.camera_x += x / (width * move_scale);
        app_state.camera_y -= y / (height * move_scale);
    }
}

void on_mouse_button_down(uint8_t button) {
    if (button == mouse_wheel_up)
        app_state.camera_z += wheel_step;
    else if (button == mouse_wheel_down)
        app_state.camera_z -= wheel_step;
}

void poll_joysticks() {
    if (window_joystick_count() < 1) return;
    for (int32_t index = 0; index < window_joystick_count(); index++) {
        window_joystick *joystick = window_joystick_open(index);
        if (!joystick) continue;
        for (const joystick_axis &row : joystick_axes) {
            float value = static_cast<float>(window_joystick_axis(joystick, row.axis));
            if (value > joystick_dead_zone || value < -joystick_dead_zone) {
                float turn[4];
                quat_from_axis_angle(turn, value * joystick_degrees, row.turn);
                quat_multiply(app_state.camera_orientation, app_state.camera_orientation, turn);
                quat_normalize(app_state.camera_orientation, app_state.camera_orientation);
            }
        }
        window_joystick_close(joystick);
    }
}
