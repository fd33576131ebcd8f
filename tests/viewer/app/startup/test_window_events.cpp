// SPDX-License-Identifier: MIT
// The main loop with the real OpenGL window under X: an unmap stops the drawing and the loop then
// sleeps until there is input, the wheel zooms, and slow frames neither slow the animation nor
// let input queue up behind them.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "fixtures/gl_fixture.h"
#include "fixtures/sdl_events.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/input.h"
#include "viewer/app/startup.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/gui_loop.h"

// X11 last: its macros collide with GoogleTest's names.
#include <X11/Xlib.h>

namespace {

// A connection of the test's own, as another client (a window manager, a pager) would have.
class x_client {
  public:
    x_client() : display(XOpenDisplay(nullptr)) {}
    ~x_client() {
        if (display) XCloseDisplay(display);
    }
    x_client(const x_client &) = delete;
    x_client &operator=(const x_client &) = delete;

    void unmap(Window window) {
        XUnmapWindow(display, window);
        XSync(display, False);
    }
    void map(Window window) {
        XMapWindow(display, window);
        XSync(display, False);
    }
    // A wheel notch as the X server reports it: a press and a release of button 4 or 5.
    void wheel(Window window, unsigned button) {
        for (int type : {ButtonPress, ButtonRelease}) {
            XEvent event{};
            event.xbutton.type = type;
            event.xbutton.display = display;
            event.xbutton.window = window;
            event.xbutton.root = DefaultRootWindow(display);
            event.xbutton.x = event.xbutton.y = 100;
            event.xbutton.button = button;
            event.xbutton.same_screen = True;
            XSendEvent(display, window, False, ButtonPressMask | ButtonReleaseMask, &event);
        }
        XSync(display, False);
    }
    Display *display;
};

Window top_window() {
    return window_sdl_wm_info(app_state.window)->info.x11.wmwindow;
}

// Dispatches SDL's events until done() holds or two seconds pass; true when it held.
template <typename F> bool dispatch_until(F done) {
    for (int i = 0; i < 400 && !done(); i++) {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            dispatch_event(&event);
        if (!done()) SDL_Delay(5);
    }
    return done();
}

// The joystick poll runs once for every frame the loop draws: through it a test watches the
// frames and makes them slow.
std::function<void()> on_frame;
const joystick_calls frame_watch = {
    [] {
        if (on_frame) on_frame();
        return 0;
    },
    [](int) -> SDL_Joystick * { return nullptr; },
    [](SDL_Joystick *, int) -> int16_t { return 0; },
    [](SDL_Joystick *) {},
    [](int) -> const char * { return nullptr; },
};

// Counts the rounds of GLib's loop: a loop that polls instead of sleeping runs thousands a second.
int rounds = 0;
GSourceFuncs round_counter = {
    [](GSource *, gint *timeout) -> gboolean {
        rounds++;
        *timeout = -1;
        return FALSE;
    },
    [](GSource *) -> gboolean { return FALSE; },
    [](GSource *, GSourceFunc, gpointer) -> gboolean { return G_SOURCE_CONTINUE; },
    nullptr,
    nullptr,
    nullptr,
};

// Asks the main loop to end after ms milliseconds, as a tool window's exit picture would.
void quit_after(guint ms) {
    g_timeout_add(
        ms,
        [](gpointer) -> gboolean {
            app_state.quit_requested = 1;
            return G_SOURCE_REMOVE;
        },
        nullptr);
}

class window_events : public gl_window_test {
  protected:
    void SetUp() override {
        ASSERT_EQ(gui_platform_init(), 1) << "needs a display";
        gl_window_test::SetUp();
        ASSERT_NE(client.display, nullptr);
        SDL_Event drained;
        while (SDL_PollEvent(&drained)) {
        }
        replace_joystick_calls(&frame_watch);
    }
    void TearDown() override {
        replace_joystick_calls(nullptr);
        on_frame = nullptr;
        client.map(top_window());
        dispatch_until([] { return app_state.window_active != 0; });
        app_state.animation = nullptr;
    }
    x_client client;
};

} // namespace

TEST_F(window_events, an_unmap_stops_the_drawing_and_a_map_resumes_it) {
    client.unmap(top_window());
    EXPECT_TRUE(dispatch_until([] { return app_state.window_active == 0; }))
        << "the iconified window still counts as active";
    client.map(top_window());
    EXPECT_TRUE(dispatch_until([] { return app_state.window_active == 1; }));
}

TEST_F(window_events, while_unmapped_the_loop_sleeps_until_there_is_input) {
    client.unmap(top_window());
    int frames = 0;
    on_frame = [&] { frames++; };
    GSource *counter = g_source_new(&round_counter, sizeof(GSource));
    g_source_attach(counter, nullptr);
    // The loop must notice the quit although nothing else happens meanwhile.
    quit_after(600);
    rounds = 0;
    run_main_loop();
    g_source_destroy(counter);
    g_source_unref(counter);
    EXPECT_EQ(app_state.window_active, 0);
    EXPECT_LT(rounds, 100) << "the loop polled instead of waiting";
    // Frames were drawn only until the unmap arrived.
    EXPECT_LT(frames, 50);

    // Input ends the wait at once: a wheel notch over the hidden window is handled.
    app_state.quit_requested = 0;
    on_frame = nullptr;
    g_timeout_add(
        50,
        [](gpointer) -> gboolean {
            x_client().wheel(window_sdl_wm_info(app_state.window)->info.x11.window, Button4);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    // Ends the loop once the notch was handled, or after three seconds.
    static int checks;
    checks = 0;
    g_timeout_add(
        100,
        [](gpointer) -> gboolean {
            if (app_state.camera_z == -96.0f && ++checks < 30) return G_SOURCE_CONTINUE;
            app_state.quit_requested = 1;
            return G_SOURCE_REMOVE;
        },
        nullptr);
    run_main_loop();
    EXPECT_FLOAT_EQ(app_state.camera_z, -64.0f);
}

TEST_F(window_events, a_chooser_after_a_sleep_does_not_spin_on_the_views_events) {
    // The loop sleeps once while the view is hidden, then a file chooser waits while events for
    // the view (which nobody reads meanwhile) stand on its connection.
    client.unmap(top_window());
    quit_after(300);
    run_main_loop();
    ASSERT_EQ(app_state.window_active, 0);
    app_state.quit_requested = 0;

    GSource *counter = g_source_new(&round_counter, sizeof(GSource));
    g_source_attach(counter, nullptr);
    static int rounds_while_waiting;
    rounds_while_waiting = -1;
    g_timeout_add(
        100,
        [](gpointer) -> gboolean {
            x_client().wheel(window_sdl_wm_info(app_state.window)->info.x11.window, Button4);
            rounds = 0;
            return G_SOURCE_REMOVE;
        },
        nullptr);
    g_timeout_add(
        600,
        [](gpointer) -> gboolean {
            rounds_while_waiting = rounds;
            GList *toplevels = gtk_window_list_toplevels();
            for (GList *w = toplevels; w; w = w->next)
                if (GTK_IS_FILE_CHOOSER_DIALOG(w->data))
                    gtk_dialog_response(GTK_DIALOG(w->data), GTK_RESPONSE_CANCEL);
            g_list_free(toplevels);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    const file_filter any[] = {{"All files", "*.*"}};
    EXPECT_EQ(choose_file(nullptr, any, "Waiting", "", nullptr), 0);
    g_source_destroy(counter);
    g_source_unref(counter);
    EXPECT_GE(rounds_while_waiting, 0);
    // The chooser keeps GLib busy with its own drawing (some 100 rounds a second); a wait that
    // spins on the unread descriptor runs tens of thousands.
    EXPECT_LT(rounds_while_waiting, 1000) << "the chooser's wait spun";
    // The notch is still there for the loop once the chooser has gone.
    EXPECT_TRUE(dispatch_until([] { return app_state.camera_z == -64.0f; }));
}

TEST_F(window_events, the_wheel_over_the_window_steps_the_distance) {
    const Window view = window_sdl_wm_info(app_state.window)->info.x11.window;
    client.wheel(view, Button4);
    EXPECT_TRUE(dispatch_until([] { return app_state.camera_z != -96.0f; }));
    EXPECT_FLOAT_EQ(app_state.camera_z, -64.0f);
    client.wheel(view, Button5);
    client.wheel(view, Button5);
    EXPECT_TRUE(dispatch_until([] { return app_state.camera_z == -128.0f; })) << app_state.camera_z;
}

TEST_F(window_events, a_slow_frame_still_steps_the_animation_once_per_tick) {
    tka_animation animation{};
    animation.num_frames = 100;
    app_state.animation = &animation;
    app_state.animation_paused = 0;
    // Each frame takes 400 ms: SDL's timer thread counts four ticks meanwhile.
    int frames = 0;
    on_frame = [&] {
        for (int i = 0; i < 4; i++)
            animation_timer(100);
        if (++frames == 5) app_state.quit_requested = 1;
    };
    run_main_loop();
    // Ten frames a second, as the timer ticks, whatever the drawing costs.
    EXPECT_EQ(app_state.current_frame, 16) << "the last frame's ticks are stepped after it";
    app_state.quit_requested = 0;
    on_frame = [&] { app_state.quit_requested = 1; };
    run_main_loop();
    EXPECT_EQ(app_state.current_frame, 20);
}

TEST_F(window_events, input_queued_behind_a_slow_frame_is_all_handled_before_the_next) {
    // A held key repeats every 30 ms: twenty repeats wait after a 600 ms frame, then the release.
    for (int i = 0; i < 20; i++) {
        SDL_Event press = key_event(SDL_KEYDOWN, SDLK_w);
        ASSERT_EQ(SDL_PushEvent(&press), 0);
    }
    SDL_Event release = key_event(SDL_KEYUP, SDLK_w);
    ASSERT_EQ(SDL_PushEvent(&release), 0);
    std::vector<float> distance_at_frame;
    on_frame = [&] {
        distance_at_frame.push_back(app_state.camera_z);
        if (distance_at_frame.size() == 2) app_state.quit_requested = 1;
    };
    run_main_loop();
    // The next frame already shows every step: nothing moves once the key is up.
    EXPECT_EQ(distance_at_frame, (std::vector<float>{-16.0f, -16.0f}));
}
