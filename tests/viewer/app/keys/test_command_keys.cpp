// SPDX-License-Identifier: MIT
// Each command key's effect, acting once on release and never on key-down or repeat.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "fixtures/gl_fixture.h"
#include "tools/samplegen/byte_writer.h"
#include "tools/samplegen/images.h"
#include "tools/samplegen/tkm_bytes.h"
#include "fixtures/sdl_events.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/app/command_keys.h"
#include "viewer/app/startup.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/textures_window.h"
#include "viewer/mesh/mesh.h"

namespace {

std::vector<std::string> titles; // of the choosers the keys opened
std::string next_answer;         // path the next chooser picks; empty: cancel

chooser_reply answer(const chooser_request &request) {
    titles.push_back(request.title);
    chooser_reply reply;
    reply.accepted = next_answer.empty() ? 0 : 1;
    reply.path = next_answer;
    next_answer.clear();
    return reply;
}

// A key pressed, held for repeats extra key-down events, and released, as SDL delivers it.
void press(SDLKey key, int repeats = 0) {
    for (int i = 0; i <= repeats; i++) {
        SDL_Event down = key_event(SDL_KEYDOWN, key);
        EXPECT_EQ(dispatch_event(&down), 0);
    }
    SDL_Event up = key_event(SDL_KEYUP, key);
    EXPECT_EQ(dispatch_event(&up), 0);
}

class command_keys : public gl_window_test {
  protected:
    temp_dir dir;

    void SetUp() override {
        gl_window_test::SetUp();
        titles.clear();
        next_answer.clear();
        set_chooser_answer_hook(answer);
    }
    void TearDown() override {
        set_chooser_answer_hook(nullptr);
        release_models();
        if (app_state.textures_window) gtk_widget_destroy(app_state.textures_window);
        app_state.textures_window = nullptr;
    }

    // Loads a mesh through key m, the chooser picking path.
    void load_with_key(const std::string &path) {
        next_answer = path;
        testing::internal::CaptureStdout();
        press(SDLK_m);
        testing::internal::GetCapturedStdout();
    }

    std::string mesh_file(const std::string &name, int bones, const std::string &texture,
                          bool weapon) {
        tkm_fixture fixture;
        fixture.bones = chain_skeleton(bones);
        fixture.texture_names = {texture};
        if (weapon) fixture.grips = {"Grip1"};
        std::string path = dir / name;
        EXPECT_EQ(write_bytes(path, encode_tkm(fixture)), 0);
        return path;
    }
};

} // namespace

TEST_F(command_keys, number_keys_flip_their_drawing_toggles_on_release) {
    press(SDLK_3);
    EXPECT_EQ(app_state.line_smoothing, 1);
    EXPECT_TRUE(glIsEnabled(GL_LINE_SMOOTH));
    press(SDLK_3);
    EXPECT_EQ(app_state.line_smoothing, 0);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));

    press(SDLK_4);
    EXPECT_EQ(app_state.mesh_primitive, static_cast<uint32_t>(GL_LINE_STRIP));
    press(SDLK_4);
    EXPECT_EQ(app_state.mesh_primitive, static_cast<uint32_t>(GL_TRIANGLES));

    press(SDLK_5);
    EXPECT_EQ(app_state.cull_back_faces, 0);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    press(SDLK_5);
    EXPECT_EQ(app_state.cull_back_faces, 1);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));

    press(SDLK_6);
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_EQ(app_state.white_materials, 0);
    press(SDLK_6);
    EXPECT_EQ(app_state.show_textures, 1);
    EXPECT_EQ(app_state.white_materials, 1);

    press(SDLK_7);
    EXPECT_EQ(app_state.show_background, 1);
    press(SDLK_8);
    EXPECT_EQ(app_state.show_normals, 1);
}

TEST_F(command_keys, holding_a_key_acts_once_on_release) {
    press(SDLK_4, 25);
    EXPECT_EQ(app_state.mesh_primitive, static_cast<uint32_t>(GL_LINE_STRIP));
    // A key-down alone does nothing.
    SDL_Event down = key_event(SDL_KEYDOWN, SDLK_8);
    dispatch_event(&down);
    EXPECT_EQ(app_state.show_normals, 0);
    SDL_Event up = key_event(SDL_KEYUP, SDLK_8, KMOD_LSHIFT);
    dispatch_event(&up);
    EXPECT_EQ(app_state.show_normals, 1);
}

TEST_F(command_keys, letter_keys_open_their_choosers) {
    press(SDLK_m);
    press(SDLK_n);
    press(SDLK_b);
    EXPECT_EQ(titles, (std::vector<std::string>{"Load TarvikMesh", "Load TarvikAnimation",
                                                "Open background image"}));
    EXPECT_EQ(app_state.mesh, nullptr);
}

// While the first chooser is shown, the user releases m in the viewer window.
chooser_reply answer_with_m_released(const chooser_request &request) {
    titles.push_back(request.title);
    EXPECT_EQ(on_command_key(SDLK_m), 1);
    chooser_reply reply;
    reply.accepted = 0;
    return reply;
}

TEST_F(command_keys, m_while_a_chooser_is_shown_is_refused_by_the_chooser) {
    set_chooser_answer_hook(answer_with_m_released);
    testing::internal::CaptureStderr();
    press(SDLK_n);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(titles, std::vector<std::string>{"Load TarvikAnimation"});
    EXPECT_NE(err.find("THREAD SAFETY: Fileselector is in use!\n"), std::string::npos) << err;
    EXPECT_EQ(app_state.mesh, nullptr);
}

TEST_F(command_keys, m_and_n_load_a_mesh_and_its_animation) {
    load_with_key(mesh_file("SWT_a.tkm", 52, "none.bmp", false));
    ASSERT_NE(app_state.mesh, nullptr);
    EXPECT_EQ(app_state.mesh->num_bones, 52);
    std::string walk = dir / "walk.tka";
    ASSERT_EQ(write_bytes(walk, encode_tka(turning_animation(chain_skeleton(52), 9))), 0);
    next_answer = walk;
    testing::internal::CaptureStdout();
    press(SDLK_n);
    testing::internal::GetCapturedStdout();
    ASSERT_NE(app_state.animation, nullptr);
    EXPECT_EQ(app_state.animation->num_frames, 9);
}

TEST_F(command_keys, t_opens_the_textures_window_once) {
    ASSERT_TRUE(gui_available());
    press(SDLK_t);
    ASSERT_NE(app_state.textures_window, nullptr);
    GtkWidget *first = app_state.textures_window;
    press(SDLK_t);
    EXPECT_EQ(app_state.textures_window, first);
    EXPECT_TRUE(gtk_widget_get_visible(first));
}

TEST_F(command_keys, v_reloads_the_character_textures_then_the_weapons) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    press(SDLK_v); // nothing loaded: nothing happens
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    ASSERT_EQ(write_bytes(dir / "body.bmp", encode_bmp(make_uniform_picture())), 0);
    ASSERT_EQ(write_bytes(dir / "gun.tga", encode_tga(make_weapon_picture())), 0);
    // The weapon first, so that load order cannot explain the reload order.
    load_with_key(mesh_file("rifle.tkm", 2, "gun.tga", true));
    load_with_key(mesh_file("SWT_a.tkm", 52, "body.bmp", false));
    ASSERT_NE(app_state.weapon_mesh, nullptr);
    ASSERT_NE(app_state.mesh, nullptr);
    uint32_t old_texture = app_state.mesh->gl_textures.textures[0];

    testing::internal::CaptureStdout();
    press(SDLK_v);
    std::string out = testing::internal::GetCapturedStdout();
    std::size_t body = out.find("body.bmp"), gun = out.find("gun.tga");
    ASSERT_NE(body, std::string::npos) << out;
    ASSERT_NE(gun, std::string::npos) << out;
    EXPECT_LT(body, gun) << out;
    EXPECT_EQ(app_state.mesh->gl_textures.loaded[0], 1u);
    EXPECT_TRUE(glIsTexture(app_state.mesh->gl_textures.textures[0]));
    EXPECT_FALSE(old_texture != app_state.mesh->gl_textures.textures[0] && glIsTexture(old_texture))
        << "the old texture is deleted when it is replaced";
}

TEST_F(command_keys, v_shows_in_the_textures_list_what_loaded_now) {
    ASSERT_EQ(write_bytes(dir / "body.bmp", encode_bmp(make_uniform_picture())), 0);
    load_with_key(mesh_file("SWT_a.tkm", 52, "body.bmp", false));
    press(SDLK_t);
    auto first_line = [] {
        GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(get_texture_list_box()));
        GtkTreeIter iter;
        gchar *text = nullptr;
        if (gtk_tree_model_get_iter_first(model, &iter))
            gtk_tree_model_get(model, &iter, 0, &text, -1);
        std::string line = text ? text : "";
        g_free(text);
        return line;
    };
    EXPECT_EQ(first_line(), "  body.bmp");
    std::remove((dir / "body.bmp").c_str());
    testing::internal::CaptureStdout();
    press(SDLK_v);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(app_state.mesh->gl_textures.loaded[0], 0u);
    EXPECT_EQ(first_line(), "! body.bmp");
}

TEST_F(command_keys, other_keys_are_not_command_keys) {
    for (int32_t key : {SDLK_1, SDLK_2, SDLK_9, SDLK_0, SDLK_a, SDLK_w, SDLK_SPACE, SDLK_LALT,
                        SDLK_RALT, SDLK_LEFT, SDLK_F1})
        EXPECT_EQ(on_command_key(key), 0) << key;
    for (int32_t key :
         {SDLK_3, SDLK_4, SDLK_5, SDLK_6, SDLK_7, SDLK_8, SDLK_b, SDLK_m, SDLK_n, SDLK_t, SDLK_v})
        EXPECT_EQ(on_command_key(key), 1) << key; // the choosers are cancelled
    EXPECT_EQ(app_state.mesh_primitive, static_cast<uint32_t>(GL_LINE_STRIP));
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_EQ(app_state.alt_held, 0);
    EXPECT_EQ(titles.size(), 3u);
}

int main(int argc, char **argv) {
    // GTK must be up before SDL opens the window, as at start-up.
    gui_platform_init();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
