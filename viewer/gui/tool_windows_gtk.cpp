// SPDX-License-Identifier: MIT
// The tool windows over GtkBuilder templates compiled in as resources; what their controls do is
// tool_windows.cpp's.
//
// Sections: resources | window plumbing | menu window | start-up | public operations
#include "viewer/gui/tool_window_system.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <span>
#include <string>
#include <vector>

#include "support/messages.h"
#include "viewer/app/app_state.h"
#include "viewer/gui/dialog.h"
#include "viewer/render/draw.h"
#include "viewer/window/window.h"

extern "C" GResource *tarvik_gui_get_resource(void);

namespace {

// ---- resources

constexpr const char *resource_root = "/tarvik/gui/";

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

// The template of each kind of window.
constexpr const char *templates[num_tool_window_kinds] = {
    "menu_window.ui", "mesh_window.ui", "animation_window.ui", "textures_window.ui"};

// What a control's signal hands back: the control's window kind and id, packed in the pointer.
gpointer control_data(tool_window_kind kind, int id) {
    return GINT_TO_POINTER(kind << 16 | id);
}
void run_control(gpointer data) {
    const int packed = GPOINTER_TO_INT(data);
    run_tool_window_command(static_cast<tool_window_kind>(packed >> 16), packed & 0xFFFF);
}

void on_command(GtkWidget *, gpointer data) {
    run_control(data);
}

gboolean on_picture_press(GtkWidget *, GdkEventButton *event, gpointer data) {
    if (event->button == 1 && event->type == GDK_BUTTON_PRESS) run_control(data);
    return TRUE;
}

// Each control's signal: a picture's press, a button's click, a check box's change.
void connect_controls(GtkWidget *window, tool_window_kind kind) {
    for (size_t i = 0; i < tool_window_control_count(kind); i++) {
        const tool_control control = tool_window_control(kind, i);
        GtkWidget *item = get_dlg_item(window, control.id);
        if (!item) continue;
        const gpointer data = control_data(kind, control.id);
        switch (control.kind) {
        case tool_control_picture:
            g_signal_connect(item, "button-press-event", G_CALLBACK(on_picture_press), data);
            break;
        case tool_control_button:
            g_signal_connect(item, "clicked", G_CALLBACK(on_command), data);
            break;
        case tool_control_check_box:
            g_signal_connect(item, "toggled", G_CALLBACK(on_command), data);
            break;
        }
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

// ---- menu window

// The menu window lives as long as the program: its close request is refused.
gboolean refuse_close(GtkWidget *, GdkEvent *, gpointer) {
    return TRUE;
}

void load_menu_pictures(GtkWidget *window) {
    size_t count = 0;
    const menu_picture *pictures = menu_pictures(&count);
    for (const menu_picture &picture : std::span(pictures, count)) {
        int code = 0;
        GdkPixbuf *pixbuf = load_picture(picture.resource_name, &code);
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

} // namespace

// ---- start-up

// The program icon on the OpenGL window, as the window layer shows one.
void set_program_icon() {
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

// ---- public operations

void *tool_window_resources() {
    return tarvik_gui_get_resource();
}

native_window build_tool_window(tool_window_kind kind, native_window parent, int *error_code) {
    GtkWidget *window = build_window(templates[kind], error_code);
    if (!window) return nullptr;
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), tool_window_handle(kind));
    g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), nullptr);
    connect_controls(window, kind);
    GtkWidget *owner = parent;
    switch (kind) {
    case tool_window_menu:
        load_menu_pictures(window);
        g_signal_connect(window, "delete-event", G_CALLBACK(refuse_close), nullptr);
        make_transient_for_gl_window(window);
        break;
    case tool_window_mesh:
    case tool_window_animation:
        if (owner) gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner));
        break;
    case tool_window_textures:
        if (owner && GTK_IS_WINDOW(owner)) {
            // A child of the mesh window goes with it; on_destroy then clears the handle.
            gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(owner));
            gtk_window_set_destroy_with_parent(GTK_WINDOW(window), TRUE);
        }
        break;
    case num_tool_window_kinds:
        break;
    }
    return window;
}

void show_tool_window(native_window window) {
    gtk_widget_show(window);
}
