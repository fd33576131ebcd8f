// SPDX-License-Identifier: MIT
// The tool windows as GTK lays them out with its default theme and font: every control gets at
// least the room it asks for, none overlaps another or runs past its window, and the fields show
// the longest values they can hold in full. Read from the widget allocations.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/viewer/gui/gui_fixture.h"
#include "viewer/gui/control_ids.h"

namespace {

struct placed {
    std::string what;
    GdkRectangle box; // in the window's coordinates
};

std::string describe(GtkWidget *widget) {
    std::string name = G_OBJECT_TYPE_NAME(widget);
    const char *id = gtk_buildable_get_name(GTK_BUILDABLE(widget));
    if (id && *id && std::string(id).rfind("___", 0) != 0) name += " " + std::string(id);
    if (GTK_IS_LABEL(widget))
        name += " \"" + std::string(gtk_label_get_text(GTK_LABEL(widget))) + "\"";
    if (GTK_IS_BUTTON(widget) && gtk_button_get_label(GTK_BUTTON(widget)))
        name += " \"" + std::string(gtk_button_get_label(GTK_BUTTON(widget))) + "\"";
    return name;
}

// A control: what a user sees as one thing. Containers that only arrange others are looked into.
bool is_control(GtkWidget *widget) {
    return GTK_IS_LABEL(widget) || GTK_IS_BUTTON(widget) || GTK_IS_ENTRY(widget) ||
           GTK_IS_EVENT_BOX(widget) || GTK_IS_SCROLLED_WINDOW(widget);
}

void collect(GtkWidget *widget, GtkWidget *window, std::vector<placed> &out) {
    if (!gtk_widget_get_visible(widget)) return;
    if (is_control(widget)) {
        GtkAllocation allocation;
        gtk_widget_get_allocation(widget, &allocation);
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(widget, window, 0, 0, &x, &y);
        out.push_back({describe(widget), {x, y, allocation.width, allocation.height}});

        // The room it asks for: its natural width, and the height it needs at that width (the
        // requests count the margins around it, the allocation does not).
        const int across = gtk_widget_get_margin_start(widget) + gtk_widget_get_margin_end(widget);
        const int down = gtk_widget_get_margin_top(widget) + gtk_widget_get_margin_bottom(widget);
        int minimum = 0, natural = 0;
        gtk_widget_get_preferred_width(widget, &minimum, &natural);
        EXPECT_GE(allocation.width, natural - across) << describe(widget) << " is cut";
        gtk_widget_get_preferred_height_for_width(widget, allocation.width + across, &minimum,
                                                  &natural);
        EXPECT_GE(allocation.height, minimum - down) << describe(widget) << " is cut";
        if (GTK_IS_LABEL(widget)) {
            EXPECT_FALSE(pango_layout_is_ellipsized(gtk_label_get_layout(GTK_LABEL(widget))))
                << describe(widget) << " shows \"…\"";
        }
        return;
    }
    if (GTK_IS_CONTAINER(widget)) {
        GList *children = gtk_container_get_children(GTK_CONTAINER(widget));
        for (GList *child = children; child; child = child->next)
            collect(GTK_WIDGET(child->data), window, out);
        g_list_free(children);
    }
}

bool overlap(const GdkRectangle &a, const GdkRectangle &b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

// Checks the window's layout; the controls in reading order, for the caller's own checks.
std::vector<placed> check_layout(GtkWidget *window) {
    for (int i = 0; i < 5; i++)
        settle();
    std::vector<placed> controls;
    collect(gtk_bin_get_child(GTK_BIN(window)), window, controls);
    // TARVIK_LAYOUT_DUMP=1 lists every control's box, e.g. to place the session test's clicks.
    if (std::getenv("TARVIK_LAYOUT_DUMP"))
        for (const placed &p : controls)
            std::printf("%s: %d,%d %dx%d\n", p.what.c_str(), p.box.x, p.box.y, p.box.width,
                        p.box.height);
    GtkAllocation frame;
    gtk_widget_get_allocation(window, &frame);
    for (size_t i = 0; i < controls.size(); i++) {
        const GdkRectangle &box = controls[i].box;
        EXPECT_TRUE(box.x >= 0 && box.y >= 0 && box.x + box.width <= frame.width &&
                    box.y + box.height <= frame.height)
            << controls[i].what << " runs past the window";
        for (size_t j = i + 1; j < controls.size(); j++)
            EXPECT_FALSE(overlap(box, controls[j].box))
                << controls[i].what << " overlaps " << controls[j].what;
    }
    return controls;
}

// The longest class name any mesh can be given.
std::string longest_class_name() {
    std::string longest;
    for (uint16_t bones = 0; bones < 80; bones++)
        for (uint16_t attachments : {0, 1}) {
            tkm_mesh mesh{};
            mesh.num_bones = bones;
            mesh.num_grips = mesh.num_grippers = attachments;
            std::string name = model_class_name(&mesh);
            if (name.size() > longest.size()) longest = name;
        }
    return longest;
}

class WindowLayout : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!start_viewer_windows()) GTEST_SKIP() << "no display";
    }
    void TearDown() override {
        for (GtkWidget *window :
             {app_state.textures_window, app_state.mesh_window, app_state.animation_window})
            if (window) gtk_widget_destroy(window);
        settle();
    }
};

} // namespace

TEST_F(WindowLayout, MenuWindow) {
    set_dlg_item_text(app_state.menu_window, menu_background_field,
                      "a_background_with_a_long_name.bmp");
    std::vector<placed> controls = check_layout(app_state.menu_window);
    EXPECT_EQ(controls.size(), 6u);
}

TEST_F(WindowLayout, MeshWindowWithTheLongestValues) {
    ASSERT_EQ(longest_class_name(), "female hostage or priest");
    open_mesh_window();
    GtkWidget *window = app_state.mesh_window;
    set_dlg_item_text(window, mesh_name_field, "SWT_Officer_Heavy_Armour_02.tkm");
    set_dlg_item_int(window, mesh_triangles_field, 65535);
    set_dlg_item_int(window, mesh_bones_field, 65535);
    set_dlg_item_text(window, mesh_class_field, longest_class_name().c_str());
    std::vector<placed> controls = check_layout(window);
    EXPECT_EQ(controls.size(), 20u);
}

TEST_F(WindowLayout, AnimationWindowWithTheLongestValues) {
    open_animation_window();
    GtkWidget *window = app_state.animation_window;
    set_dlg_item_text(window, animation_name_field, "SWT_Officer_Walk_Forward_02.tka");
    set_dlg_item_int(window, animation_frames_field, 65535);
    set_dlg_item_int(window, animation_current_frame_field, 65535);
    std::vector<placed> controls = check_layout(window);
    EXPECT_EQ(controls.size(), 11u);
}

TEST_F(WindowLayout, TexturesWindow) {
    ASSERT_EQ(open_textures_window(nullptr), 1);
    std::vector<placed> controls = check_layout(app_state.textures_window);
    EXPECT_EQ(controls.size(), 9u);
}
