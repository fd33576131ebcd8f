// SPDX-License-Identifier: MIT
// The frame number reaches the animation window's "Current frame:" field.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <string>

#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/tool_windows.h"

namespace {

constexpr const char *frame_window_ui = R"(<interface>
  <object class="GtkWindow" id="window">
    <child><object class="GtkLabel" id="c1017"><property name="label">-</property></object></child>
  </object>
</interface>)";

struct FrameWindow : testing::Test {
    GtkWidget *window = nullptr;
    void SetUp() override {
        ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "needs an X display";
        GtkBuilder *builder = gtk_builder_new_from_string(frame_window_ui, -1);
        window = GTK_WIDGET(gtk_builder_get_object(builder, "window"));
        attach_dialog_builder(window, builder);
        app_state.animation_window = window;
    }
    void TearDown() override {
        app_state.animation_window = nullptr;
        app_state.animation = nullptr;
        app_state.current_frame = 0;
        if (window) gtk_widget_destroy(window);
    }
    std::string shown() const { return get_dlg_item_text(window, animation_current_frame_field); }
};

TEST_F(FrameWindow, StepsShowTheOneBasedFrame) {
    tka_animation ten{};
    ten.num_frames = 10;
    app_state.animation = &ten;
    app_state.current_frame = 9;
    next_frame();
    EXPECT_EQ(shown(), "1");
    previous_frame();
    EXPECT_EQ(shown(), "10");
    app_state.current_frame = 4;
    show_current_frame();
    EXPECT_EQ(shown(), "5");
}

TEST_F(FrameWindow, WithoutAnimationTheWindowIsNotTouched) {
    next_frame();
    previous_frame();
    EXPECT_EQ(shown(), "-");
}

} // namespace
