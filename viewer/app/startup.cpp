// Start-up in its fixed order, the main loop, the event dispatcher, the timer and shut-down.
#include "viewer/app/startup.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "support/messages.h"
#include "viewer/anim/pose.h"
#include "viewer/app/app_state.h"
#include "viewer/app/input.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/render/draw.h"
#include "viewer/render/gl_window.h"
#include "viewer/textures/image_loading.h"

app_state_record app_state;

namespace {

// Set by the timer thread, taken by the main loop: ticks that arrive while the loop is blocked
// (a file chooser is open) collapse into one instead of piling up in SDL's small queue.
std::atomic<bool> tick_pending{false};

struct option_row {
    const char *text;
    void (*apply)();
};

constexpr option_row options[] = {
    {"--nojoystick", [] { app_state.joystick_enabled = 0; }},
    {"--notextures",
     [] {
         app_state.show_textures = 0;
         app_state.white_materials = 0;
     }},
    {"--bones", [] { app_state.show_bones = 1; }},
    {"--nomesh", [] { app_state.show_mesh = 0; }},
};

void check_joysticks()
{
    std::printf("Checking joysticks: ");
    if (!app_state.joystick_enabled) {
        std::printf("disabled\n");
        return;
    }
    int count = SDL_NumJoysticks();
    std::printf("%d\n", count);
    if (count == 0) return;
    SDL_JoystickEventState(SDL_ENABLE);
    for (int i = 0; i < count; i++) {
        std::printf("  Joystick 0: %s ", SDL_JoystickName(i));
        SDL_Joystick *joystick = SDL_JoystickOpen(i);
        std::printf(joystick ? "(opened)\n" : "(cannot open!)\n");
        SDL_JoystickClose(joystick);
    }
}

} // namespace

void parse_command_line(int argc, char **argv)
{
    if (argc < 2) return;
    for (int i = 1; i < argc; i++)
        for (const option_row &row : options)
            if (std::strcmp(argv[i], row.text) == 0) row.apply();
}

int32_t dispatch_event(const SDL_Event *event)
{
    switch (event->type) {
    case SDL_ACTIVEEVENT:
        if (event->active.state == SDL_APPACTIVE) app_state.window_active = event->active.gain;
        return 0;
    case SDL_KEYDOWN:
        return on_key_down(event);
    case SDL_KEYUP:
        return on_key_up(event);
    case SDL_MOUSEMOTION:
        on_mouse_motion(event->motion.state, event->motion.xrel, event->motion.yrel);
        return 0;
    case SDL_QUIT:
        return 1;
    case SDL_SYSWMEVENT:
        std::printf("system event!\n");
        return 0;
    case SDL_VIDEOEXPOSE:
        app_state.window_active = 1;
        return 0;
    default:
        return 0;
    }
}

Uint32 animation_timer(Uint32 interval)
{
    // SDL's timer thread must not touch the animation or GTK: the main loop does the step.
    tick_pending.store(true, std::memory_order_release);
    return interval;
}

void service_animation_timer()
{
    if (!tick_pending.exchange(false, std::memory_order_acq_rel)) return;
    if (!app_state.animation_paused) next_frame();
}

void run_main_loop()
{
    while (!app_state.quit_requested) {
        pump_gui_events();
        SDL_Event event;
        // A quit asked for by a tool window while GTK was pumped (the exit picture) must survive
        // the event that follows it in the same pass, so an event only ever sets the flag.
        if (SDL_PollEvent(&event) && dispatch_event(&event)) app_state.quit_requested = 1;
        service_animation_timer();
        if (app_state.window_active) {
            if (app_state.joystick_enabled) poll_joysticks();
            draw_frame();
        }
    }
}

int tarvik_main(int argc, char **argv)
{
    // Progress lines are meant to be watched: keep them flowing when stdout is a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    gui_platform_init();

    std::printf("Processing command line: ");
    parse_command_line(argc, argv);
    std::printf("OK\n");

    std::printf("SDL initialisation: ");
    SDL_VERSION(&app_state.wm_info.version);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) {
        std::printf("failed!\n");
        return 1;
    }
    std::printf("version %u.%u.%u!\n", app_state.wm_info.version.major,
                app_state.wm_info.version.minor, app_state.wm_info.version.patch);

    SDL_WM_SetCaption("TarvikViewer", nullptr);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
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

    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    SDL_SetTimer(100, animation_timer);

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
