// SPDX-License-Identifier: MIT
// The main loop draws only when the picture changes: every kind of change that shows leads to a
// frame, and an untouched viewer, its timer ticking, draws nothing.
#include <gtest/gtest.h>

#include <GL/gl.h>
#include <gtk/gtk.h>

#include "common/temp_dir.h"
#include "fixtures/gl_fixture.h"
#include "viewer/anim/animation.h"
#include "viewer/app/commands.h"
#include "viewer/app/input.h"
#include "viewer/app/startup.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/render/redraw.h"
#include "viewer/textures/test_images.h"
#include "viewer/textures/texture_loading.h"

namespace {

void dispatch(SDL_Event event) {
    dispatch_event(&event);
}

SDL_Event key(Uint8 type, SDLKey sym) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = sym;
    return event;
}

SDL_Event of_type(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

// A joystick held hard to one side on axis 0, or centred.
int16_t held_axis = 0;
const joystick_calls one_joystick = {
    [] { return 1; }, [](int) { return reinterpret_cast<SDL_Joystick *>(1); },
    [](SDL_Joystick *, int axis) { return static_cast<int16_t>(axis == 0 ? held_axis : 0); },
    [](SDL_Joystick *) {}, [](int) { return "test stick"; }};

class redraw : public gl_window_test {
  protected:
    temp_dir files;
    void SetUp() override {
        gl_window_test::SetUp();
        // A character playing a three-frame animation, on show as the last frame left it.
        app_state.mesh = create_mesh();
        app_state.animation = create_animation();
        ASSERT_TRUE(app_state.mesh && app_state.animation);
        app_state.animation->num_frames = 3;
        app_state.animation_paused = 1;
        held_axis = 0;
        replace_joystick_calls(&one_joystick);
        draw_frame();
        note_picture_drawn();
    }
    void TearDown() override {
        replace_joystick_calls(nullptr);
        release_models();
    }
};

struct change {
    const char *what;
    void (*make)(const temp_dir &files);
};

const change changes[] = {
    {"w pressed, or repeated while held",
     [](const temp_dir &) { dispatch(key(SDL_KEYDOWN, SDLK_w)); }},
    {"a left drag",
     [](const temp_dir &) {
         SDL_Event event = of_type(SDL_MOUSEMOTION);
         event.motion.state = SDL_BUTTON(1);
         event.motion.xrel = 3;
         dispatch(event);
     }},
    {"a wheel notch",
     [](const temp_dir &) {
         SDL_Event event = of_type(SDL_MOUSEBUTTONDOWN);
         event.button.button = SDL_BUTTON_WHEELUP;
         dispatch(event);
     }},
    {"a joystick held aside",
     [](const temp_dir &) {
         held_axis = 20000;
         poll_joysticks();
     }},
    {"an animation step",
     [](const temp_dir &) {
         app_state.animation_paused = 0;
         animation_timer(100);
         service_animation_timer();
     }},
    {"the next frame by key", [](const temp_dir &) { dispatch(key(SDL_KEYDOWN, SDLK_RIGHT)); }},
    {"the wire view toggled", [](const temp_dir &) { dispatch(key(SDL_KEYUP, SDLK_4)); }},
    {"the normals toggled", [](const temp_dir &) { dispatch(key(SDL_KEYUP, SDLK_8)); }},
    {"the background toggled", [](const temp_dir &) { dispatch(key(SDL_KEYUP, SDLK_7)); }},
    {"a weapon loaded", [](const temp_dir &) { app_state.weapon_mesh = create_mesh(); }},
    {"the mesh replaced",
     [](const temp_dir &) {
         release_mesh(app_state.mesh);
         app_state.mesh = create_mesh();
         app_state.mesh_changes++;
     }},
    {"a texture made",
     [](const temp_dir &files) {
         write_all(files / "red.bmp", test_images::bmp(4, 4, test_images::plain({255, 0, 0})));
         uint32_t texture = 0;
         ASSERT_EQ(load_image_texture(&texture, (files / "red.bmp").c_str()), 0);
         GLuint name = texture;
         glDeleteTextures(1, &name);
     }},
    {"the background image replaced", [](const temp_dir &) { app_state.background_texture += 7; }},
    {"an expose", [](const temp_dir &) { dispatch(of_type(SDL_VIDEOEXPOSE)); }},
    {"a resize", [](const temp_dir &) { dispatch(of_type(SDL_VIDEORESIZE)); }},
    {"the window restored",
     [](const temp_dir &) {
         SDL_Event event = of_type(SDL_ACTIVEEVENT);
         event.active.state = SDL_APPACTIVE;
         event.active.gain = 1;
         dispatch(event);
     }},
};

} // namespace

TEST_F(redraw, every_change_that_shows_leads_to_a_frame) {
    for (const change &c : changes) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(picture_needs_drawing(), 0);
        c.make(files);
        EXPECT_EQ(picture_needs_drawing(), 1);
        draw_frame();
        note_picture_drawn();
    }
}

TEST_F(redraw, a_joystick_held_aside_keeps_drawing_and_centred_it_stops) {
    held_axis = -20000;
    for (int i = 0; i < 3; i++) {
        poll_joysticks();
        EXPECT_EQ(picture_needs_drawing(), 1) << "poll " << i;
        note_picture_drawn();
    }
    held_axis = 0;
    poll_joysticks();
    EXPECT_EQ(picture_needs_drawing(), 0);
}

TEST_F(redraw, what_shows_nothing_draws_nothing) {
    // Motion with no button, Alt, an unbound key, a focus change, timer ticks while paused, a
    // centred joystick.
    dispatch(of_type(SDL_MOUSEMOTION));
    dispatch(key(SDL_KEYDOWN, SDLK_LALT));
    dispatch(key(SDL_KEYUP, SDLK_LALT));
    dispatch(key(SDL_KEYUP, SDLK_z));
    SDL_Event focus = of_type(SDL_ACTIVEEVENT);
    focus.active.state = SDL_APPINPUTFOCUS;
    dispatch(focus);
    animation_timer(100);
    service_animation_timer();
    poll_joysticks();
    EXPECT_EQ(picture_needs_drawing(), 0);
}

TEST_F(redraw, the_loop_left_alone_draws_nothing_and_playing_draws_each_step) {
    ASSERT_EQ(gui_platform_init(), 1) << "needs a display";
    start_animation_timer();
    auto run_for = [](guint ms) {
        app_state.quit_requested = 0;
        g_timeout_add(
            ms,
            [](gpointer) -> gboolean {
                app_state.quit_requested = 1;
                return G_SOURCE_REMOVE;
            },
            nullptr);
        const uint64_t before = frames_drawn();
        run_main_loop();
        return frames_drawn() - before;
    };
    run_for(150); // what the window system said about the new window (an expose) is drawn
    EXPECT_EQ(run_for(500), 0u) << "an untouched viewer drew";
    app_state.animation_paused = 0;
    const uint64_t playing = run_for(500);
    EXPECT_GE(playing, 3u);
    EXPECT_LE(playing, 7u) << "more frames than animation steps";
}
