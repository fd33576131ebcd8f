// SPDX-License-Identifier: MIT
// The main loop's handling of quit requests, with SDL's event queue but no window.
#include <cstdlib>
#include <gtest/gtest.h>

#include <gtk/gtk.h>

#include "viewer/app/app_state.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/app/startup.h"
#include "viewer/window/window_sdl.h"

namespace {

class main_loop : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    }
    static void TearDownTestSuite() { SDL_Quit(); }
    void SetUp() override {
        app_state = app_state_record{};
        // No GL context here: the loop must not draw.
        app_state.window_active = 0;
        SDL_Event drained;
        while (SDL_PollEvent(&drained)) {
        }
    }
};

void push(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

} // namespace

TEST_F(main_loop, a_quit_event_ends_the_loop) {
    push(SDL_MOUSEMOTION);
    push(SDL_QUIT);
    push(SDL_MOUSEMOTION);
    run_main_loop();
    EXPECT_EQ(app_state.quit_requested, 1);
    // The loop handled the events up to the quit and stopped right after it.
    SDL_Event left;
    EXPECT_EQ(SDL_PollEvent(&left), 1);
    EXPECT_EQ(left.type, SDL_MOUSEMOTION);
    EXPECT_EQ(SDL_PollEvent(&left), 0);
}

TEST_F(main_loop, a_later_event_does_not_cancel_a_quit_from_a_tool_window) {
    ASSERT_EQ(gui_platform_init(), 1) << "needs a display";
    // As if the exit picture were clicked: GTK sets the flag while it is pumped, and ordinary
    // events are waiting in the same pass.
    g_idle_add(
        [](gpointer) -> gboolean {
            app_state.quit_requested = 1;
            return G_SOURCE_REMOVE;
        },
        nullptr);
    push(SDL_MOUSEMOTION);
    push(SDL_KEYUP);
    run_main_loop();
    EXPECT_EQ(app_state.quit_requested, 1);
    SDL_Event left;
    ASSERT_EQ(SDL_PollEvent(&left), 1) << "the loop went on after the exit picture";
    EXPECT_EQ(left.type, SDL_MOUSEMOTION);
}
