// SPDX-License-Identifier: MIT
// What the commands show in the mesh and animation windows, read back from the real GTK windows.
#include "command_fixture.h"

#include <gtk/gtk.h>

#include "viewer/gui/dialog.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/gui/control_ids.h"

namespace {

class command_windows : public command_test {
  protected:
    void SetUp() override {
        command_test::SetUp();
        ASSERT_TRUE(gui_available());
        ASSERT_EQ(open_mesh_window(), 1);
        ASSERT_EQ(open_animation_window(), 1);
    }
    void TearDown() override {
        for (native_window *window : {&app_state.mesh_window, &app_state.animation_window}) {
            if (*window) gtk_widget_destroy(*window);
            *window = nullptr;
        }
        command_test::TearDown();
    }
    static std::string text(GtkWidget *window, int id) { return get_dlg_item_text(window, id); }
};

} // namespace

TEST_F(command_windows, the_mesh_window_shows_name_triangles_bones_and_class) {
    load_mesh(character_file("SWT_shown.tkm", 52));
    EXPECT_EQ(text(app_state.mesh_window, mesh_name_field), "SWT_shown.tkm");
    EXPECT_EQ(text(app_state.mesh_window, mesh_triangles_field), "52");
    EXPECT_EQ(text(app_state.mesh_window, mesh_bones_field), "52");
    EXPECT_EQ(text(app_state.mesh_window, mesh_class_field), "officer");

    // A weapon shows its own figures there.
    load_mesh(weapon_file("rifle.tkm"));
    EXPECT_EQ(text(app_state.mesh_window, mesh_name_field), "rifle.tkm");
    EXPECT_EQ(text(app_state.mesh_window, mesh_triangles_field), "2");
    EXPECT_EQ(text(app_state.mesh_window, mesh_bones_field), "2");
    EXPECT_EQ(text(app_state.mesh_window, mesh_class_field), "weapon");
}

TEST_F(command_windows, all_textures_failing_also_clears_the_textures_box) {
    ASSERT_TRUE(is_dlg_button_checked(app_state.mesh_window, mesh_textures_box));
    load_mesh(character_file("bare.tkm", 3, {"gone.bmp"}));
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_FALSE(is_dlg_button_checked(app_state.mesh_window, mesh_textures_box));
}

TEST_F(command_windows, the_animation_window_shows_name_frames_and_frame_one) {
    load_mesh(character_file("SWT_a.tkm", 52));
    load_animation(animation_file("SWT_walk.tka", 52, 14));
    EXPECT_EQ(text(app_state.animation_window, animation_name_field), "SWT_walk.tka");
    EXPECT_EQ(text(app_state.animation_window, animation_frames_field), "14");
    EXPECT_EQ(text(app_state.animation_window, animation_current_frame_field), "1");

    // A mesh of another skeleton drops the animation, and the window no longer names it.
    load_mesh(character_file("KID_b.tkm", 40));
    EXPECT_EQ(text(app_state.animation_window, animation_name_field), "");
    EXPECT_EQ(text(app_state.animation_window, animation_frames_field), "");
}

TEST_F(command_windows, remove_takes_the_character_then_a_lone_weapon) {
    load_mesh(character_file("SWT_a.tkm", 52));
    load_mesh(weapon_file("rifle.tkm"));
    tka_animation *animation = app_state.animation;
    GtkWidget *window = app_state.mesh_window;
    auto remove = [&] { gtk_button_clicked(GTK_BUTTON(get_dlg_item(window, mesh_remove_button))); };

    remove();
    EXPECT_EQ(app_state.mesh, nullptr);
    EXPECT_EQ(app_state.animation, animation) << "the character's animation stays";
    ASSERT_NE(app_state.weapon_mesh, nullptr);
    // The window shows what Save and Remove now act on: the weapon.
    EXPECT_EQ(text(window, mesh_name_field), "rifle.tkm");
    EXPECT_EQ(text(window, mesh_class_field), "weapon");

    remove();
    EXPECT_EQ(app_state.weapon_mesh, nullptr);
    EXPECT_EQ(app_state.weapon_animation, nullptr);
    for (int id : {mesh_name_field, mesh_triangles_field, mesh_bones_field, mesh_class_field})
        EXPECT_EQ(text(window, id), "") << id;
    remove(); // nothing left: harmless
    EXPECT_EQ(app_state.weapon_mesh, nullptr);
}

TEST_F(command_windows, reopened_windows_show_what_is_loaded) {
    gtk_widget_destroy(app_state.mesh_window);
    gtk_widget_destroy(app_state.animation_window);
    ASSERT_EQ(app_state.mesh_window, nullptr);
    load_mesh(weapon_file("rifle.tkm"));
    ASSERT_EQ(open_mesh_window(), 1);
    EXPECT_EQ(text(app_state.mesh_window, mesh_name_field), "rifle.tkm");
    EXPECT_EQ(text(app_state.mesh_window, mesh_triangles_field), "2");
    EXPECT_EQ(text(app_state.mesh_window, mesh_class_field), "weapon");

    load_mesh(character_file("SWT_shown.tkm", 52));
    load_animation(animation_file("SWT_walk.tka", 52, 14));
    app_state.current_frame = 6;
    gtk_widget_destroy(app_state.mesh_window);
    ASSERT_EQ(open_mesh_window(), 1);
    ASSERT_EQ(open_animation_window(), 1);
    // The character is what Save and Remove act on, so the window shows it.
    EXPECT_EQ(text(app_state.mesh_window, mesh_name_field), "SWT_shown.tkm");
    EXPECT_EQ(text(app_state.mesh_window, mesh_triangles_field), "52");
    EXPECT_EQ(text(app_state.mesh_window, mesh_bones_field), "52");
    EXPECT_EQ(text(app_state.mesh_window, mesh_class_field), "officer");
    EXPECT_EQ(text(app_state.animation_window, animation_name_field), "SWT_walk.tka");
    EXPECT_EQ(text(app_state.animation_window, animation_frames_field), "14");
    EXPECT_EQ(text(app_state.animation_window, animation_current_frame_field), "7");

    // After Reset the rest pose is on: a reopened window names no animation.
    gtk_button_clicked(
        GTK_BUTTON(get_dlg_item(app_state.animation_window, animation_reset_button)));
    gtk_widget_destroy(app_state.animation_window);
    ASSERT_EQ(open_animation_window(), 1);
    for (int id : {animation_name_field, animation_frames_field, animation_current_frame_field})
        EXPECT_EQ(text(app_state.animation_window, id), "") << id;
}

// The lines of the textures window's list, top to bottom.
std::vector<std::string> texture_lines() {
    std::vector<std::string> lines;
    GtkWidget *list = get_texture_list_box();
    if (!list) return lines;
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(list));
    GtkTreeIter iter;
    for (bool more = gtk_tree_model_get_iter_first(model, &iter); more;
         more = gtk_tree_model_iter_next(model, &iter)) {
        gchar *text = nullptr;
        gtk_tree_model_get(model, &iter, 0, &text, -1);
        lines.emplace_back(text ? text : "");
        g_free(text);
    }
    return lines;
}

TEST_F(command_windows, the_textures_window_keeps_listing_the_character_after_a_weapon) {
    ASSERT_EQ(open_textures_window(nullptr), 1);
    load_mesh(character_file("SWT_a.tkm", 52, {"tex\\skin.bmp", "cloth.bmp"}));
    const std::vector<std::string> character = {"! skin.bmp", "! cloth.bmp"};
    EXPECT_EQ(texture_lines(), character);

    // Its buttons act on the character mesh, so a weapon's textures must not take its lines.
    tkm_fixture rifle;
    rifle.bones = chain_skeleton(2);
    rifle.grips = {"Grip1"};
    rifle.texture_names = {"gun.tga"};
    load_mesh(write_file("rifle.tkm", encode_tkm(rifle)));
    ASSERT_NE(app_state.weapon_mesh, nullptr);
    EXPECT_EQ(texture_lines(), character);

    load_mesh(character_file("SWT_b.tkm", 52, {"face.tga"}));
    EXPECT_EQ(texture_lines(), std::vector<std::string>{"! face.tga"});
    gtk_widget_destroy(app_state.textures_window);
    app_state.textures_window = nullptr;
}

int main(int argc, char **argv) {
    // GTK must be up before SDL opens the window, as at start-up.
    gui_platform_init();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
