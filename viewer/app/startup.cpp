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

app_state_record app_state;

namespace {

// Ticks of the 100 ms timer not yet stepped, counted by SDL's timer thread and taken by the main
// loop: a frame slower than 100 ms, or a file chooser that blocks the loop, steps the animation
// by every tick it missed, so playback keeps its speed.
std::atomic<uint32_t> pending_ticks{0};

// The X connection SDL reads the OpenGL window's events from, or -1.
int sdl_event_connection() {
    const SDL_SysWMinfo &info = app_state.wm_info;
    if (!app_state.surface || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) return -1;
    return ConnectionNumber(info.info.x11.display);
}

// Dispatches every pending SDL event, so that key repeats and mouse motion never queue up behind
// slow frames; stops at a quit request.
void handle_pending_events() {
    SDL_Event event;
    // A quit asked for by a tool window while GTK was pumped (the exit picture) must survive
    // the events that follow it, so an event only ever sets the flag.
    while (!app_state.quit_requested && SDL_PollEvent(&event))
        if (dispatch_event(&event)) app_state.quit_requested = 1;
}

void request_quit() {
    app_state.quit_requested = 1;
}

} // namespace

void check_joysticks() {
    std::printf("Checking joysticks: ");
    if (!app_state.joystick_enabled) {
        std::printf("disabled\n");
        return;
    }
    const joystick_calls &calls = current_joystick_calls();
    int count = calls.count();
    std::printf("%d\n", count);
    if (count == 0) return;
    SDL_JoystickEventState(SDL_ENABLE);
    for (int i = 0; i < count; i++) {
        const char *name = calls.name ? calls.name(i) : nullptr;
        std::printf("  Joystick 0: %s ", name ? name : "(unknown)");
        SDL_Joystick *joystick = calls.open(i);
        std::printf(joystick ? "(opened)\n" : "(cannot open!)\n");
        if (joystick) calls.close(joystick);
    }
}

int32_t dispatch_event(const SDL_Event *event) {
    switch (event->type) {
    case SDL_ACTIVEEVENT:
        // X11 reports an unmap as APPACTIVE together with input focus: the bit decides.
        if (event->active.state & SDL_APPACTIVE) {
            app_state.window_active = event->active.gain;
            if (event->active.gain) note_picture_change();
        }
        return 0;
    case SDL_KEYDOWN:
        return on_key_down(event);
    case SDL_KEYUP:
        return on_key_up(event);
    case SDL_MOUSEMOTION:
        on_mouse_motion(event->motion.state, event->motion.xrel, event->motion.yrel);
        return 0;
    case SDL_MOUSEBUTTONDOWN:
        on_mouse_button_down(event->button.button);
        return 0;
    case SDL_QUIT:
        return 1;
    case SDL_SYSWMEVENT:
        std::printf("system event!\n");
        return 0;
    case SDL_VIDEOEXPOSE:
        app_state.window_active = 1;
        note_picture_change();
        return 0;
    case SDL_VIDEORESIZE:
        note_picture_change();
        return 0;
    default:
        return 0;
    }
}

Uint32 animation_timer(Uint32 interval) {
    // SDL's timer thread must not touch the animation or GTK: the main loop does the steps.
    pending_ticks.fetch_add(1, std::memory_order_acq_rel);
    wake_gui_loop();
    return interval;
}

void start_animation_timer() {
    if (add_gui_timer(100, [] { animation_timer(100); })) return;
    SDL_InitSubSystem(SDL_INIT_TIMER);
    SDL_SetTimer(100, animation_timer);
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
            // Nothing new to show: sleep until an event, a GUI event or a timer tick (which also
            // brings the next look at a joystick held aside).
            wait_for_input(sdl_event_connection());
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
    // window, also while a file chooser waits. Routed before SDL_Init, so that SDL keeps them
    // (its own handler is seen only by its poll, and it pushes an event from inside the signal).
    route_quit_signals(request_quit);

    std::printf("Processing command line: ");
    parse_command_line(argc, argv);
    warn_unknown_options(argc, argv);
    // Made absolute now: loading a mesh's textures changes the working directory.
    const std::vector<command_line_file> files = command_line_files(argc, argv);
    std::printf("OK\n");

    std::printf("SDL initialisation: ");
    SDL_VERSION(&app_state.wm_info.version);
    // No SDL timer: SDL 1.2's timer thread wakes the process every millisecond, for good. The
    // animation's tick is a source of the loop's own wait (start_animation_timer).
    prefer_window_framebuffer();
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) {
        std::printf("failed!\n");
        return 1;
    }
    std::printf("version %u.%u.%u!\n", app_state.wm_info.version.major,
                app_state.wm_info.version.minor, app_state.wm_info.version.patch);

    SDL_WM_SetCaption("TarvikViewer", nullptr);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // Frames no faster than the display shows them, where the driver offers it.
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    SDL_EnableKeyRepeat(30, 30);

    app_state.surface = create_gl_window(app_state.window_width, app_state.window_height);
    if (!app_state.surface) return 2;

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

    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    start_animation_timer();

    run_main_loop();

    std::printf("Freeing surface: ");
    SDL_FreeSurface(app_state.surface);
    std::printf("OK!\n");
    std::printf("GUI shutdown: ");
    hairball("%s", "");
    std::printf("OK!\n");
    std::printf("SDL shutdown: ");
    SDL_Quit();
    std::printf("OK!\n");
    return 0;
}
