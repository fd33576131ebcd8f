// What the commands show in the mesh and animation windows, read back from the real GTK windows.
#include "command_fixture.h"

#include <gtk/gtk.h>

#include "viewer/gui/dialog.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/tool_windows.h"

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
        for (GtkWidget **window : {&app_state.mesh_window, &app_state.animation_window}) {
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
    EXPECT_EQ(text(app_state.mesh_window, 1007), "SWT_shown.tkm");
    EXPECT_EQ(text(app_state.mesh_window, 1017), "52");
    EXPECT_EQ(text(app_state.mesh_window, 1018), "52");
    EXPECT_EQ(text(app_state.mesh_window, 1019), "officer");

    // A weapon shows its own figures there.
    load_mesh(weapon_file("rifle.tkm"));
    EXPECT_EQ(text(app_state.mesh_window, 1007), "rifle.tkm");
    EXPECT_EQ(text(app_state.mesh_window, 1017), "2");
    EXPECT_EQ(text(app_state.mesh_window, 1018), "2");
    EXPECT_EQ(text(app_state.mesh_window, 1019), "weapon");
}

TEST_F(command_windows, all_textures_failing_also_clears_the_textures_box) {
    ASSERT_TRUE(is_dlg_button_checked(app_state.mesh_window, 1023));
    load_mesh(character_file("bare.tkm", 3, {"gone.bmp"}));
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_FALSE(is_dlg_button_checked(app_state.mesh_window, 1023));
}

TEST_F(command_windows, the_animation_window_shows_name_frames_and_frame_one) {
    load_mesh(character_file("SWT_a.tkm", 52));
    load_animation(animation_file("SWT_walk.tka", 52, 14));
    EXPECT_EQ(text(app_state.animation_window, 1008), "SWT_walk.tka");
    EXPECT_EQ(text(app_state.animation_window, 1016), "14");
    EXPECT_EQ(text(app_state.animation_window, 1017), "1");

    // A mesh of another skeleton drops the animation, and the window no longer names it.
    load_mesh(character_file("KID_b.tkm", 40));
    EXPECT_EQ(text(app_state.animation_window, 1008), "");
    EXPECT_EQ(text(app_state.animation_window, 1016), "");
}

int main(int argc, char **argv) {
    // GTK must be up before SDL opens the window, as at start-up.
    gui_platform_init();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
