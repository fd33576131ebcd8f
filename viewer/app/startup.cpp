// SPDX-License-Identifier: MIT
// Start-up in its fixed order, the main loop, the event dispatcher, the timer and shut-down.
#include "viewer/app/startup.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "support/messages.h"
#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/app/command_line.h"
#include "viewer/app/input.h"
#include "viewer/app/layer_wiring.h"
#include "viewer/app/open_files.h"
#include "viewer/app/program_info.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/render/draw.h"
#include "viewer/render/gl_window.h"
#include "viewer/render/redraw.h"
#include "viewer/textures/image_loading.h"
#include "viewer/window/window.h"

app_state_record app_state;

namespace {

// Ticks of the 100 ms timer not yet stepped, counted by the timer and taken by the main loop: a
// frame slower than 100 ms, or a file chooser that blocks the loop, steps the animation by every
// tick it missed, so playback keeps its speed.
std::atomic<uint32_t> pending_ticks{0};

void request_quit() {
    app_state.quit_requested = 1;
}

} // namespace

void handle_pending_events() {
    window_event event;
    // A quit asked for by a tool window while the GUI was pumped (the exit picture) must survive
    // the events that follow it, so an event only ever sets the flag.
    while (!app_state.quit_requested && window_poll_event(&event))
        if (dispatch_event(&event)) app_state.quit_requested = 1;
}

void check_joysticks() {
    std::printf("Checking joysticks: ");
    if (!app_state.joystick_enabled) {
        std::printf("disabled\n");
        return;
    }
    int32_t count = window_joystick_count();
    std::printf("%d\n", count);
    if (count == 0) return;
    window_joystick_events_on();
    for (int32_t i = 0; i < count; i++) {
        const char *name = window_joystick_name(i);
        std::printf("  Joystick 0: %s ", name ? name : "(unknown)");
        window_joystick *joystick = window_joystick_open(i);
        std::printf(joystick ? "(opened)\n" : "(cannot open!)\n");
        if (joystick) window_joystick_close(joystick);
    }
}

int32_t dispatch_event(const window_event *event) {
    switch (event->type) {
    case window_event_active:
        // X11 reports an unmap as "shown" together with input focus: the bit decides.
        if (event->active.state & window_shown) {
            app_state.window_active = event->active.gain;
            if (event->active.gain) note_picture_change();
        }
        return 0;
    case window_event_key_down:
        return on_key_down(event);
    case window_event_key_up:
        return on_key_up(event);
    case window_event_mouse_motion:
        on_mouse_motion(event->motion.buttons, event->motion.dx, event->motion.dy);
        return 0;
    case window_event_mouse_button_down:
        on_mouse_button_down(event->button);
        return 0;
    case window_event_quit:
        return 1;
    case window_event_system:
        std::printf("system event!\n");
        return 0;
    case window_event_expose:
        app_state.window_active = 1;
        note_picture_change();
        return 0;
    case window_event_resize:
        note_picture_change();
        return 0;
    default:
        return 0;
    }
}

uint32_t animation_timer(uint32_t interval) {
    // A timer thread must not touch the animation or the GUI: the main loop does the steps.
    pending_ticks.fetch_add(1, std::memory_order_acq_rel);
    window_wake();
    return interval;
}

void start_animation_timer() {
    window_start_timer(100, [] { animation_timer(100); });
}

void service_animation_timer() {
    uint32_t ticks = pending_ticks.exchange(0, std::memory_order_acq_rel);
    const tka_animation *animation = app_state.animation;
    if (ticks == 0 || app_state.animation_paused || !animation || animation->num_frames == 0)
        return;
    // Whole cycles change nothing; the first step also brings a frame outside the animation back.
    uint32_t steps = 1 + (ticks - 1) % animation->num_frames;
    for (uint32_t i = 0; i < steps; i++)
        next_frame();
}

void run_main_loop() {
    while (!app_state.quit_requested) {
        pump_gui_events();
        handle_pending_events();
        service_animation_timer();
        if (app_state.window_active && app_state.joystick_enabled) poll_joysticks();
        if (app_state.window_active && picture_needs_drawing()) {
            draw_frame();
            note_picture_drawn();
        } else if (!app_state.quit_requested) {
            // Nothing new to show: sleep until an event, a GUI event, a timer tick (which also
            // brings the next look at a joystick held aside) or a held key's next repeat.
            window_wait(app_state.window);
        }
    }
}

int tarvik_main(int argc, char **argv) {
    // Progress lines are meant to be watched: keep them flowing when stdout is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    if (print_requested_info(argc, argv)) return 0;
    if (!display_is_usable()) return 1;
    wire_viewer_layers();
    gui_platform_init();
    // Ctrl+C in the console or the end of the session: the same orderly end as closing the
    // window, also while a file chooser waits. Routed before the window system starts, so that it
    // keeps them (SDL's own handler is seen only by its poll, and pushes an event from inside the
    // signal).
    route_quit_signals(request_quit);

    std::printf("Processing command line: ");
    parse_command_line(argc, argv);
    warn_unknown_options(argc, argv);
    // Made absolute now: loading a mesh's textures changes the working directory.
    const std::vector<command_line_file> files = command_line_files(argc, argv);
    std::printf("OK\n");

    std::printf("SDL initialisation: ");
    if (window_system_init() != window_ok) {
        std::printf("failed!\n");
        return 1;
    }
    const window_version version = window_system_version();
    std::printf("version %u.%u.%u!\n", version.major, version.minor, version.patch);

    // The caption, the 16-bit depth buffer, double buffering, swap control and the 30 ms key
    // repeat are the window attributes' defaults.
    app_state.window = create_gl_window(app_state.window_width, app_state.window_height);
    if (!app_state.window) return 2;

    std::printf("Initialising DevIL: ");
    init_image_loading();
    std::printf("OK\n");

    std::printf("Initialising GUI: ");
    create_tool_windows();
    std::printf("OK!\n");

    check_joysticks();

    app_state.camera_x = 0.0f;
    app_state.camera_y = -40.0f;
    app_state.camera_z = -96.0f;
    const float identity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::memcpy(app_state.camera_orientation, identity, sizeof identity);
    app_state.quit_requested = 0;

    // The files load once the window, the image library and the tool windows exist, as they
    // would from a chooser; a file that fails is reported and the viewer starts without it.
    open_command_line_files(files);

    start_animation_timer();

    run_main_loop();

    std::printf("Freeing surface: ");
    window_close(app_state.window);
    app_state.window = nullptr;
    std::printf("OK!\n");
    std::printf("GUI shutdown: ");
    hairball("%s", "");
    std::printf("OK!\n");
    std::printf("SDL shutdown: ");
    window_system_quit();
    std::printf("OK!\n");
    return 0;
}
