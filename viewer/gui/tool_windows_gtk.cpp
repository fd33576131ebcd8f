// SPDX-License-Identifier: MIT
// The tool windows over GtkBuilder templates compiled in as resources.
//
// Sections: resources | window plumbing | menu window | mesh window | animation window |
//           textures window | start-up
#include "viewer/gui/tool_windows.h"

#include <GL/gl.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/messages.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/files/file_status.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/textures_window.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/window/window.h"

extern "C" GResource *tarvik_gui_get_resource(void);

namespace {

// ---- resources

constexpr const char *resource_root = "/tarvik/gui/";

// A picture of the menu window: resource, the control it sits in, and the report when missing.
struct menu_picture {
    const char *resource;
    int control;
    const char *failure;
};
constexpr menu_picture menu_pictures[] = {
    {"mesh_picture.xpm", menu_mesh_picture, "TKM bitmap not loaded: %d!\n"},
    {"animation_picture.xpm", menu_animation_picture, "TKA bitmap not loaded: %d!\n"},
    {"exit_picture.xpm", menu_exit_picture, "Exit bitmap not loaded: %d!\n"},
    {"screenshot_picture.xpm", menu_screenshot_picture, "Screenshot bitmap not loaded: %d!\n"},
};

GdkPixbuf *load_picture(const char *name, int *error_code) {
    std::string path = std::string(resource_root) + name;
    GError *error = nullptr;
    GdkPixbuf *pixbuf = gdk_pixbuf_new_from_resource(path.c_str(), &error);
    *error_code = error ? error->code : 0;
    if (error) g_error_free(error);
    return pixbuf;
}

// The window of template name, with its builder attached; null with *error_code on failure.
GtkWidget *build_window(const char *name, int *error_code) {
    *error_code = 0;
    tarvik_gui_get_resource(); // keeps the bundle (and its registration) linked in
    std::string path = std::string(resource_root) + name;
    GtkBuilder *builder = gtk_builder_new();
    GError *error = nullptr;
    if (!gtk_builder_add_from_resource(builder, path.c_str(), &error)) {
        *error_code = error ? error->code : -1;
        if (error) g_error_free(error);
        g_object_unref(builder);
        return nullptr;
    }
    GObject *object = gtk_builder_get_object(builder, "window");
    if (!object || !GTK_IS_WINDOW(object)) {
        *error_code = -1;
        g_object_unref(builder);
        return nullptr;
    }
    GtkWidget *window = GTK_WIDGET(object);
    attach_dialog_builder(window, builder);
    return window;
}

// ---- window plumbing

// The application's commands, as set_gui_commands was last given them.
gui_commands commands{};

// A command is recognised by its control id alone, whatever the control sends with it. It runs
// one of the application's commands, or (command null) an action of the windows themselves.
struct command_row {
    int id;
    const char *signal;
    void (*gui_commands::*command)();
    void (*own)();
};

void run_row(const command_row &row) {
    void (*run)() = row.command ? commands.*row.command : row.own;
    if (run) run();
}

void on_command(GtkWidget *, gpointer data) {
    run_row(*reinterpret_cast<const command_row *>(data));
}

gboolean on_picture_press(GtkWidget *, GdkEventButton *event, gpointer data) {
    if (event->button == 1 && event->type == GDK_BUTTON_PRESS)
        run_row(*reinterpret_cast<const command_row *>(data));
    return TRUE;
}

template <size_t n> void connect_commands(GtkWidget *window, const command_row (&rows)[n]) {
    for (const command_row &row : rows) {
        GtkWidget *item = get_dlg_item(window, row.id);
        if (!item) continue;
        if (std::string(row.signal) == "button-press-event")
            g_signal_connect(item, row.signal, G_CALLBACK(on_picture_press),
                             const_cast<command_row *>(&row));
        else
            g_signal_connect(item, row.signal, G_CALLBACK(on_command),
                             const_cast<command_row *>(&row));
    }
}

// Keeps the app_state handle of a window true: null as soon as the window is gone, however it
// went (its own close box, or the parent it was transient for being destroyed with it).
void on_destroy(GtkWidget *window, gpointer data) {
    auto *handle = static_cast<native_window *>(data);
    if (*handle == window) *handle = nullptr;
    // The builder holds the window and the window holds the builder: break the cycle.
    g_object_set_data(G_OBJECT(window), dialog_builder_key, nullptr);
}

// Redraws the OpenGL view while a tool window is dragged over it, so the view stays whole.
gboolean on_configure(GtkWidget *window, GdkEventConfigure *event, gpointer) {
    int old_x = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "tarvik-x"));
    int old_y = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "tarvik-y"));
    int known = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(window), "tarvik-placed"));
    g_object_set_data(G_OBJECT(window), "tarvik-x", GINT_TO_POINTER(event->x));
    g_object_set_data(G_OBJECT(window), "tarvik-y", GINT_TO_POINTER(event->y));
    g_object_set_data(G_OBJECT(window), "tarvik-placed", GINT_TO_POINTER(1));
    if (known && (old_x != event->x || old_y != event->y) && app_state.window) draw_frame();
    return FALSE;
}

// Shows a new tool window whose handle lives in *handle.
void show_tool_window(GtkWidget *window, native_window *handle) {
    *handle = window;
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), handle);
    g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), nullptr);
    gtk_widget_show(window);
}

// ---- menu window

void mesh_picture_command() {
    open_mesh_window();
}

void animation_picture_command() {
    open_animation_window();
}

constexpr command_row menu_commands[] = {
    {menu_mesh_picture, "button-press-event", nullptr, mesh_picture_command},
    {menu_animation_picture, "button-press-event", nullptr, animation_picture_command},
    {menu_exit_picture, "button-press-event", &gui_commands::quit, nullptr},
    {menu_background_button, "clicked", &gui_commands::background, nullptr},
    {menu_screenshot_picture, "button-press-event", &gui_commands::screenshot, nullptr},
};

// The menu window lives as long as the program: its close request is refused.
gboolean refuse_close(GtkWidget *, GdkEvent *, gpointer) {
    return TRUE;
}

void load_menu_pictures(GtkWidget *window) {
    for (const menu_picture &picture : menu_pictures) {
        int code = 0;
        GdkPixbuf *pixbuf = load_picture(picture.resource, &code);
        if (!pixbuf) {
            real_meow(picture.failure, code);
            continue;
        }
        std::string image_id = "c" + std::to_string(picture.control) + "_image";
        auto *builder =
            static_cast<GtkBuilder *>(g_object_get_data(G_OBJECT(window), dialog_builder_key));
        GObject *image = gtk_builder_get_object(builder, image_id.c_str());
        if (image && GTK_IS_IMAGE(image)) gtk_image_set_from_pixbuf(GTK_IMAGE(image), pixbuf);
        g_object_unref(pixbuf);
    }
}

void make_transient_for_gl_window(GtkWidget *window) {
    // The OpenGL window's top-level X window.
    const Window parent = static_cast<Window>(window_owner_handle(app_state.window));
    if (!parent) return;
    gtk_widget_realize(window);
    GdkDisplay *display = gdk_display_get_default();
    if (!GDK_IS_X11_DISPLAY(display)) return;
    GdkWindow *foreign = gdk_x11_window_foreign_new_for_display(display, parent);
    if (!foreign) return;
    gdk_window_set_transient_for(gtk_widget_get_window(window), foreign);
    g_object_set_data_full(G_OBJECT(window), "tarvik-gl-parent", foreign, g_object_unref);
}

void create_menu_window() {
    int code = 0;
    GtkWidget *window = build_window("menu_window.ui", &code);
    if (!window) {
        real_meow("Can't create menu window: %d\n", code);
        return;
    }
    load_menu_pictures(window);
    connect_commands(window, menu_commands);
    g_signal_connect(window, "delete-event", G_CALLBACK(refuse_close), nullptr);
    make_transient_for_gl_window(window);
    show_tool_window(window, &app_state.menu_window);
}

// ---- mesh window

void textures_command() {
    open_textures_window(app_state.mesh_window);
}

// While the boxes are being set from the flags their "toggled" must not flip the flags again.
int syncing_checkboxes = 0;

// The "toggled" of a check box runs the row's toggle command.
constexpr command_row mesh_toggles[] = {
    {mesh_bones_box, "toggled", &gui_commands::toggle_bones, nullptr},
    {mesh_mesh_box, "toggled", &gui_commands::toggle_mesh, nullptr},
    {mesh_textures_box, "toggled", &gui_commands::toggle_textures, nullptr},
    {mesh_normals_box, "toggled", &gui_commands::toggle_normals, nullptr},
    {mesh_hit_detection_box, "toggled", &gui_commands::toggle_hit_detection, nullptr},
    {mesh_wireframe_box, "toggled", &gui_commands::toggle_wireframe, nullptr},
    {mesh_line_smoothing_box, "toggled", &gui_commands::toggle_line_smoothing, nullptr},
    {mesh_background_box, "toggled", &gui_commands::toggle_background, nullptr},
};

void on_toggled(GtkToggleButton *, gpointer data) {
    if (syncing_checkboxes) return;
    run_row(*reinterpret_cast<const command_row *>(data));
}

constexpr command_row mesh_commands[] = {
    {mesh_load_button, "clicked", &gui_commands::load_mesh, nullptr},
    {mesh_save_button, "clicked", &gui_commands::save_mesh, nullptr},
    {mesh_remove_button, "clicked", &gui_commands::remove_mesh, nullptr},
    {mesh_textures_button, "clicked", nullptr, textures_command},
};

// ---- animation window

constexpr command_row animation_commands[] = {
    {animation_load_button, "clicked", &gui_commands::load_animation, nullptr},
    {animation_reset_button, "clicked", &gui_commands::reset_animation, nullptr},
    {animation_play_button, "clicked", &gui_commands::play, nullptr},
    {animation_previous_button, "clicked", &gui_commands::previous_frame, nullptr},
    {animation_next_button, "clicked", &gui_commands::next_frame, nullptr},
};

// ---- textures window

void reload_command() {
    reload_listed_textures(app_state.mesh);
}

void replace_command() {
    replace_textures(app_state.mesh);
}

void show_selected_command() {
    show_only_selected(app_state.mesh);
}

constexpr command_row texture_commands[] = {
    {textures_reload_button, "clicked", nullptr, reload_command},
    {textures_show_selected_button, "clicked", nullptr, show_selected_command},
    {textures_browse_button, "clicked", nullptr, browse_for_texture},
    {textures_replace_button, "clicked", nullptr, replace_command},
};

// ---- start-up

// The program icon on the OpenGL window, as the window layer shows one.
void set_gl_window_icon() {
    int code = 0;
    GdkPixbuf *icon = load_picture("tarvik_icon.xpm", &code);
    if (!icon) {
        real_meow("Program icon not loaded: %d!\n", code);
        return;
    }
    if (app_state.window) {
        GdkPixbuf *rgba = gdk_pixbuf_add_alpha(icon, FALSE, 0, 0, 0);
        const int width = gdk_pixbuf_get_width(rgba), height = gdk_pixbuf_get_height(rgba);
        const int stride = gdk_pixbuf_get_rowstride(rgba);
        const guchar *pixels = gdk_pixbuf_get_pixels(rgba);
        std::vector<uint32_t> argb;
        argb.reserve(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                const guchar *p = pixels + y * stride + x * 4;
                argb.push_back((static_cast<uint32_t>(p[3]) << 24) | (p[0] << 16) | (p[1] << 8) |
                               p[2]);
            }
        window_set_icon(app_state.window, {width, height, argb.data()});
        g_object_unref(rgba);
    }
    // The tool windows carry the same icon.
    gtk_window_set_default_icon(icon);
    g_object_unref(icon);
}

} // namespace

// ---- public operations

void set_gui_commands(const gui_commands &table) {
    commands = table;
}

int32_t open_mesh_window() {
    const float identity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 4; i++)
        app_state.camera_orientation[i] = identity[i];
    if (app_state.mesh_window) return 0;
    int code = 0;
    GtkWidget *window = build_window("mesh_window.ui", &code);
    if (!window) {
        real_meow("Can't create mesh window: %d\n", code);
        return 0;
    }
    if (app_state.menu_window)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(app_state.menu_window));
    connect_commands(window, mesh_commands);
    for (const command_row &row : mesh_toggles)
        if (GtkWidget *box = get_dlg_item(window, row.id))
            g_signal_connect(box, row.signal, G_CALLBACK(on_toggled),
                             const_cast<command_row *>(&row));
    app_state.mesh_window = window;
    sync_mesh_checkboxes();
    show_current_mesh();
    show_tool_window(window, &app_state.mesh_window);
    return 1;
}

int32_t open_animation_window() {
    if (app_state.animation_window) return 0;
    int code = 0;
    GtkWidget *window = build_window("animation_window.ui", &code);
    if (!window) {
        real_meow("Can't create animation window: %d\n", code);
        return 0;
    }
    if (app_state.menu_window)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(app_state.menu_window));
    connect_commands(window, animation_commands);
    show_tool_window(window, &app_state.animation_window);
    show_current_animation();
    return 1;
}

int32_t open_textures_window(native_window parent_window) {
    GtkWidget *parent = parent_window;
    if (app_state.textures_window) return 0;
    int code = 0;
    GtkWidget *window = build_window("textures_window.ui", &code);
    if (!window) {
        real_meow("Can't create textures window: %d\n", code);
        return 0;
    }
    if (parent && GTK_IS_WINDOW(parent)) {
        // A child of the mesh window goes with it; on_destroy then clears the handle.
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(parent));
        gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
    }
    connect_commands(window, texture_commands);
    show_tool_window(window, &app_state.textures_window);
    gui_generate_textures_list(app_state.mesh, 0, nullptr);
    return 1;
}

void sync_mesh_checkboxes() {
    GtkWidget *window = app_state.mesh_window;
    if (!window) return;
    syncing_checkboxes = 1;
    check_dlg_button(window, mesh_bones_box, app_state.show_bones);
    check_dlg_button(window, mesh_mesh_box, app_state.show_mesh);
    check_dlg_button(window, mesh_textures_box, app_state.show_textures);
    check_dlg_button(window, mesh_hit_detection_box, app_state.show_hit_detection);
    check_dlg_button(window, mesh_wireframe_box, app_state.mesh_primitive == GL_LINE_STRIP);
    check_dlg_button(window, mesh_line_smoothing_box, app_state.line_smoothing);
    check_dlg_button(window, mesh_background_box, app_state.show_background);
    check_dlg_button(window, mesh_normals_box, app_state.show_normals);
    syncing_checkboxes = 0;
}

void create_system_tool_windows() {
    app_state.instance_handle = tarvik_gui_get_resource();
    if (!gui_available()) {
        real_meow("Can't create menu window: %d\n", -1);
        return;
    }
    set_gl_window_icon();
    create_menu_window();
}
