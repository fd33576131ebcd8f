// SPDX-License-Identifier: MIT
// A camera key held down in the real OpenGL window for about a second steps the camera at the key
// repeat rate (every 30 ms), not only when the animation timer (100 ms) wakes the main loop.
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "fixtures/gl_fixture.h"
#include "viewer/app/startup.h"
#include "viewer/gui/gui_loop.h"

namespace {

// Ends the main loop from inside its own wait; GLib wakes the wait for it from any thread, and
// nothing else wakes it more often than the viewer itself does.
gboolean quit_loop(gpointer) {
    app_state.quit_requested = 1;
    return G_SOURCE_REMOVE;
}

// Rounds of GLib's loop (the viewer's waits) once the key is up: a loop that polls instead of
// resting runs thousands a second.
std::atomic<int> released{0};
int rounds_after_release = 0;
GSourceFuncs round_counter = {
    [](GSource *, gint *timeout) -> gboolean {
        if (released.load()) rounds_after_release++;
        *timeout = -1;
        return FALSE;
    },
    [](GSource *) -> gboolean { return FALSE; },
    [](GSource *, GSourceFunc, gpointer) -> gboolean { return G_SOURCE_CONTINUE; },
    nullptr,
    nullptr,
    nullptr,
};

class held_key : public gl_window_test {
  protected:
    void SetUp() override {
        ASSERT_EQ(gui_platform_init(), 1) << "needs a display";
        gl_window_test::SetUp();
        ASSERT_EQ(std::system("command -v xdotool >/dev/null"), 0) << "needs xdotool";
        window_event drained;
        while (window_poll_event(&drained)) {
        }
        app_state.joystick_enabled = 0;
    }
};

} // namespace

TEST_F(held_key, holding_s_for_a_second_steps_the_camera_at_the_repeat_rate) {
    const unsigned long view = window_sdl_wm_info(app_state.window)->info.x11.window;
    const float start = app_state.camera_z;
    std::thread user([view] {
        // The key goes to the OpenGL window itself, as it does to the focused window.
        const std::string id = std::to_string(view);
        std::system(("xdotool keydown --window " + id + " s && sleep 1 && xdotool keyup --window " +
                     id + " s")
                        .c_str());
        released = 1;
        // Half a second at rest: the animation timer's five ticks, and what the release brings.
        std::system("sleep 0.5");
        g_idle_add(quit_loop, nullptr);
    });
    GSource *counter = g_source_new(&round_counter, sizeof(GSource));
    g_source_attach(counter, nullptr);
    // The animation timer of the viewer ticks meanwhile; before the held key woke the wait it was
    // the only thing that did.
    start_animation_timer();
    run_main_loop();
    user.join();
    g_source_destroy(counter);
    g_source_unref(counter);
    // Drain what the release left, so the count is complete.
    window_event event;
    while (window_poll_event(&event))
        dispatch_event(&event);
    const int steps = static_cast<int>((start - app_state.camera_z) / 4.0f + 0.5f);
    std::printf("camera steps in about one second: %d\n", steps);
    // About 33 at 30 ms; about 10 to 15 when only the 100 ms timer wakes the loop.
    EXPECT_GE(steps, 24);
    EXPECT_LE(steps, 60) << "more repeats than a held key makes";
    std::printf("loop rounds in half a second at rest: %d\n", rounds_after_release);
    EXPECT_LT(rounds_after_release, 100) << "the loop does not rest once the key is up";
}
