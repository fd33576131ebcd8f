// SPDX-License-Identifier: MIT
// The viewer's window system: the one OpenGL window, its input as the viewer's own event records,
// the wait between frames, the animation timer and the joysticks. Each system has a backend of
// its own (SDL 1.2 on Linux); what sits above is written once, against this.
#pragma once

#include <cstddef>
#include <cstdint>

#include "viewer/window/keys.h"

// The open OpenGL window: the backend's own record.
struct window_handle;
// An open joystick: the backend's own.
struct window_joystick;

// A window of the system's GUI toolkit (a tool window, a chooser's owner): opaque to everything
// but the toolkit's own files, which turn it into their widget pointer and back.
struct native_window {
    void *widget = nullptr;
    constexpr native_window() = default;
    constexpr native_window(std::nullptr_t) {}
    template <class T> constexpr native_window(T *pointer) : widget(pointer) {}
    template <class T> operator T *() const { return static_cast<T *>(widget); }
    explicit operator bool() const { return widget != nullptr; }
    bool operator==(const native_window &other) const = default;
    bool operator==(std::nullptr_t) const { return widget == nullptr; }
    template <class T> bool operator==(T *pointer) const { return widget == pointer; }
};

// The program icon: width x height pixels, rows from the top, each 0xAARRGGBB.
struct window_icon {
    int32_t width = 0;
    int32_t height = 0;
    const uint32_t *argb = nullptr;
};

// What the OpenGL window is opened with; the defaults are the viewer's.
struct window_attributes {
    int32_t width = 640;
    int32_t height = 480;
    const char *caption = "TarvikViewer";
    const window_icon *icon = nullptr; // none: the system's
    int32_t bits_per_pixel = 16;       // asked for; whatever the display offers is taken
    int32_t depth_bits = 16;
    int32_t double_buffer = 1;
    int32_t swap_control = 1; // frames no faster than the display shows them, where offered
    int32_t key_repeat_delay_ms = 30;
    int32_t key_repeat_interval_ms = 30;
};

struct window_version {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
};

enum : int32_t {
    window_ok = 0,
    window_init_failed = 1, // the window system cannot be started
};

// 1 when there is a display to open the window on, the way to it chosen; 0 when there is none.
// Runs before window_system_init.
int32_t window_system_find_display();
// Starts the window system's video and joysticks; window_ok or window_init_failed.
int32_t window_system_init();
// The version of the window system the viewer was built against.
window_version window_system_version();
// Ends the window system; nothing of it may be used afterwards.
void window_system_quit();

// Opens the OpenGL window and makes its context current; null when it cannot be had.
window_handle *window_open(const window_attributes &attributes);
// Closes the window and frees its record.
void window_close(window_handle *window);
// Bits per pixel of the window's pixel format.
int32_t window_bits_per_pixel(const window_handle *window);
// The window's native handle as the start-up line shows it (the drawable, not its frame).
uintptr_t window_native_handle(const window_handle *window);
// The native top-level window that tool windows and choosers belong to; 0 for none.
uintptr_t window_owner_handle(const window_handle *window);
// The window's drawable size in pixels; 0 from a null window.
int32_t window_width(const window_handle *window);
int32_t window_height(const window_handle *window);
// Shows icon as the window's icon, where the system lets a program set one.
void window_set_icon(window_handle *window, const window_icon &icon);
// Shows the frame just drawn; nothing for a null window.
void window_swap_buffers(window_handle *window);

// ---- events

enum window_event_type : int32_t {
    window_event_none = 0,
    window_event_active = 1,   // gained or lost activation, focus
    window_event_key_down = 2, // repeats included
    window_event_key_up = 3,
    window_event_mouse_motion = 4,
    window_event_mouse_button_down = 5,
    window_event_mouse_button_up = 6,
    window_event_quit = 12,   // the window was closed, or the session ends
    window_event_system = 13, // a native event let through
    window_event_resize = 16,
    window_event_expose = 17,
};

// Which activation an active event concerns (bits of window_activation::state).
enum : uint8_t {
    window_mouse_focus = 1,
    window_input_focus = 2,
    window_shown = 4, // gain 0: iconified, gain 1: restored
};

// Mouse buttons: a button number, and a motion's mask of held buttons.
enum : uint8_t {
    mouse_left = 1,
    mouse_middle = 2,
    mouse_right = 3,
    mouse_wheel_up = 4,
    mouse_wheel_down = 5,
};
enum : uint8_t {
    mouse_mask_left = 1,
    mouse_mask_middle = 2,
    mouse_mask_right = 4,
    mouse_mask_wheel_up = 8,
    mouse_mask_wheel_down = 16,
};

struct window_key {
    int32_t symbol = keysym_none; // a key_code
    uint32_t modifiers = 0;       // key_modifier bits
    uint16_t unicode = 0;         // the character typed, where the system says
};

struct window_motion {
    uint8_t buttons = 0; // mouse_mask bits
    int32_t x = 0, y = 0;
    int16_t dx = 0, dy = 0; // relative motion
};

struct window_activation {
    uint8_t gain = 0;
    uint8_t state = 0; // window_mouse_focus, window_input_focus, window_shown bits
};

struct window_size {
    int32_t width = 0;
    int32_t height = 0;
};

// One event; the member its type names is filled in.
struct window_event {
    int32_t type = window_event_none;
    window_key key;
    window_motion motion;
    uint8_t button = 0; // mouse button down and up
    window_activation active;
    window_size resize;
};

// Takes the next pending event into event; 1 when there was one, else 0.
int32_t window_poll_event(window_event *event);

// ---- waiting

// What the GUI toolkit lends the wait, when there is one: its own loop watches the window's
// descriptor, its timers tick the animation, and any thread can end a wait. Null entries and a
// null record leave the window system on its own.
struct window_wait_calls {
    // Blocks until the GUI has work, descriptor (-1: none) has input, wake is called or
    // timeout_ms (-1: no limit) passes; runs nothing itself.
    void (*wait)(intptr_t descriptor, int32_t timeout_ms);
    // Calls tick every interval_ms on the main thread from inside the waits; 1 when installed.
    int32_t (*add_timer)(uint32_t interval_ms, void (*tick)());
    // Ends a wait in progress or the next one; safe from any thread.
    void (*wake)();
};
void set_window_wait_calls(const window_wait_calls *calls);

// How long the next wait may last in ms, -1 for as long as nothing happens: while a key is held,
// no longer than the next key repeat is due, so a held key steps at its repeat rate.
int32_t window_wait_timeout_ms();
// Sleeps until an event of window, a GUI event, a timer tick, a wake or the timeout above.
void window_wait(const window_handle *window);
// Ends a window_wait in progress or the next one; safe from any thread.
void window_wake();
// Calls tick every interval_ms for the rest of the run: on the main thread from the GUI's waits
// when it has timers, else on a thread of the system's; 1 when started.
int32_t window_start_timer(uint32_t interval_ms, void (*tick)());

// ---- joysticks

int32_t window_joystick_count();
// The joystick's name; null when the system has none.
const char *window_joystick_name(int32_t index);
// Events for joysticks on; the viewer polls them, but the system keeps their state only then.
void window_joystick_events_on();
window_joystick *window_joystick_open(int32_t index);
int16_t window_joystick_axis(window_joystick *joystick, int32_t axis);
void window_joystick_close(window_joystick *joystick);
