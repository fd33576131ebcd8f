// SPDX-License-Identifier: MIT
// The tool windows over GtkBuilder templates compiled in as resources.
//
// Sections: resources | window plumbing | menu window | mesh window | animation window |
//           textures window | toggles | start-up
#include "viewer/gui/tool_windows.h"

#include <GL/gl.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/messages.h"
#include "viewer/anim/animation.h"
#include "viewer/app/posing.h"
#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/textures_window.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"

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
    {"mesh_picture.xpm", 1014, "TKM bitmap not loaded: %d!\n"},
    {"animation_picture.xpm", 1013, "TKA bitmap not loaded: %d!\n"},
    {"exit_picture.xpm", 1000, "Exit bitmap not loaded: %d!\n"},
    {"screenshot_picture.xpm", 1031, "Screenshot bitmap not loaded: %d!\n"},
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

// Fields of the mesh and animation windows that show what is loaded.
constexpr int mesh_name_field = 1007;
constexpr int mesh_triangles_field = 1017;
constexpr int mesh_bones_field = 1018;
constexpr int mesh_class_field = 1019;
constexpr int animation_name_field = 1008;
constexpr int animation_frames_field = 1016;

// ---- window plumbing

// A command is recognised by its control id alone, whatever the control sends with it.
struct command_row {
    int id;
    const char *signal;
    void (*run)();
};

void on_command(GtkWidget *, gpointer data) {
    reinterpret_cast<const command_row *>(data)->run();
}

gboolean on_picture_press(GtkWidget *, GdkEventButton *event, gpointer data) {
    if (event->button == 1 && event->type == GDK_BUTTON_PRESS)
        reinterpret_cast<const command_row *>(data)->run();
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
    auto **handle = static_cast<GtkWidget **>(data);
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
    if (known && (old_x != event->x || old_y != event->y) && app_state.surface) draw_frame();
    return FALSE;
}

// Shows a new tool window whose handle lives in *handle.
void show_tool_window(GtkWidget *window, GtkWidget **handle) {
    *handle = window;
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroy), handle);
    g_signal_connect(window, "configure-event", G_CALLBACK(on_configure), nullptr);
    gtk_widget_show(window);
}

// ---- menu window

void exit_command() {
    app_state.quit_requested = 1;
}

void mesh_picture_command() {
    open_mesh_window();
}

void animation_picture_command() {
    open_animation_window();
}

constexpr command_row menu_commands[] = {
    {1014, "button-press-event", mesh_picture_command},
    {1013, "button-press-event", animation_picture_command},
    {1000, "button-press-event", exit_command},
    {1003, "clicked", background_command},
    {1031, "button-press-event", screenshot_command},
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

// The OpenGL window's top-level X window, or 0 without one.
Window gl_top_window() {
    const SDL_SysWMinfo &info = app_state.wm_info;
    if (!app_state.surface || info.subsystem != SDL_SYSWM_X11 || !info.info.x11.display) return 0;
    return info.info.x11.wmwindow;
}

void make_transient_for_gl_window(GtkWidget *window) {
    Window parent = gl_top_window();
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

void load_command() {
    load_mesh_command();
}

void textures_command() {
    open_textures_window(app_state.mesh_window);
}

// While the boxes are being set from the flags their "toggled" must not flip the flags again.
int syncing_checkboxes = 0;

struct toggle_row {
    int id;
    void (*toggle)();
};
constexpr toggle_row mesh_toggles[] = {
    {1021, toggle_bones},          {1022, toggle_mesh},          {1023, toggle_textures},
    {1028, toggle_normals},        {1024, toggle_hit_detection}, {1026, toggle_wireframe},
    {1027, toggle_line_smoothing}, {1029, toggle_background},
};

void on_toggled(GtkToggleButton *, gpointer data) {
    if (syncing_checkboxes) return;
    reinterpret_cast<const toggle_row *>(data)->toggle();
}

constexpr command_row mesh_commands[] = {
    {1001, "clicked", load_command},
    {1003, "clicked", save_mesh_command},
    {1006, "clicked", remove_mesh_command},
    {1004, "clicked", textures_command},
};

// ---- animation window

void load_animation() {
    load_animation_command();
}

void reset_command() {
    if (!app_state.mesh) return;
    tka_animation *rest = create_animation();
    if (!rest || build_rest_pose(app_state.mesh, rest) != 0) {
        // Keep what is there rather than leave the mesh without any pose.
        real_meow("Can't build the rest pose: out of memory!\n");
        release_animation(rest);
        return;
    }
    clear_animation(app_state.animation);
    app_state.animation = rest;
}

void play_command() {
    app_state.animation_paused = !app_state.animation_paused;
}

constexpr command_row animation_commands[] = {
    {1002, "clicked", load_animation}, {1003, "clicked", reset_command},
    {1024, "clicked", play_command},   {1022, "clicked", previous_frame},
    {1023, "clicked", next_frame},
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
    {1005, "clicked", reload_command},
    {1008, "clicked", show_selected_command},
    {1006, "clicked", browse_for_texture},
    {1007, "clicked", replace_command},
};

// ---- toggles

void set_gl_capability(GLenum capability, int32_t on) {
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

// ---- start-up

// _NET_WM_ICON on the OpenGL window: what current window managers show (WM_HINTS is not read).
void set_gl_window_icon() {
    Window window = gl_top_window();
    int code = 0;
    GdkPixbuf *icon = load_picture("tarvik_icon.xpm", &code);
    if (!icon) {
        real_meow("Program icon not loaded: %d!\n", code);
        return;
    }
    if (window) {
        GdkPixbuf *rgba = gdk_pixbuf_add_alpha(icon, FALSE, 0, 0, 0);
        int width = gdk_pixbuf_get_width(rgba), height = gdk_pixbuf_get_height(rgba);
        int stride = gdk_pixbuf_get_rowstride(rgba);
        const guchar *pixels = gdk_pixbuf_get_pixels(rgba);
        std::vector<unsigned long> data;
        data.reserve(2 + static_cast<size_t>(width) * height);
        data.push_back(static_cast<unsigned long>(width));
        data.push_back(static_cast<unsigned long>(height));
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++) {
                const guchar *p = pixels + y * stride + x * 4;
                data.push_back((static_cast<unsigned long>(p[3]) << 24) | (p[0] << 16) |
                               (p[1] << 8) | p[2]);
            }
        const SDL_SysWMinfo &info = app_state.wm_info;
        if (info.info.x11.lock_func) info.info.x11.lock_func();
        Display *display = info.info.x11.display;
        Atom net_wm_icon = XInternAtom(display, "_NET_WM_ICON", False);
        XChangeProperty(display, window, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(data.data()),
                        static_cast<int>(data.size()));
        XFlush(display);
        if (info.info.x11.unlock_func) info.info.x11.unlock_func();
        g_object_unref(rgba);
    }
    // The tool windows carry the same icon.
    gtk_window_set_default_icon(icon);
    g_object_unref(icon);
}

} // namespace

// ---- public operations

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
    for (const toggle_row &row : mesh_toggles)
        if (GtkWidget *box = get_dlg_item(window, row.id))
            g_signal_connect(box, "toggled", G_CALLBACK(on_toggled),
                             const_cast<toggle_row *>(&row));
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

int32_t open_textures_window(GtkWidget *parent) {
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
    check_dlg_button(window, 1021, app_state.show_bones);
    check_dlg_button(window, 1022, app_state.show_mesh);
    check_dlg_button(window, 1023, app_state.show_textures);
    check_dlg_button(window, 1024, app_state.show_hit_detection);
    check_dlg_button(window, 1026, app_state.mesh_primitive == GL_LINE_STRIP);
    check_dlg_button(window, 1027, app_state.line_smoothing);
    check_dlg_button(window, 1029, app_state.show_background);
    check_dlg_button(window, 1028, app_state.show_normals);
    syncing_checkboxes = 0;
}

void toggle_bones() {
    app_state.show_bones = !app_state.show_bones;
    sync_mesh_checkboxes();
}

void toggle_mesh() {
    app_state.show_mesh = !app_state.show_mesh;
    sync_mesh_checkboxes();
}

void toggle_textures() {
    app_state.show_textures = !app_state.show_textures;
    app_state.white_materials = !app_state.white_materials;
    sync_mesh_checkboxes();
}

void toggle_normals() {
    app_state.show_normals = !app_state.show_normals;
    sync_mesh_checkboxes();
}

void toggle_hit_detection() {
    app_state.show_hit_detection = !app_state.show_hit_detection;
    set_gl_capability(GL_LIGHTING, !app_state.show_hit_detection);
    sync_mesh_checkboxes();
}

void toggle_wireframe() {
    app_state.mesh_primitive =
        app_state.mesh_primitive == GL_LINE_STRIP ? GL_TRIANGLES : GL_LINE_STRIP;
    sync_mesh_checkboxes();
}

void toggle_line_smoothing() {
    app_state.line_smoothing = !app_state.line_smoothing;
    set_gl_capability(GL_LINE_SMOOTH, app_state.line_smoothing);
    sync_mesh_checkboxes();
}

void toggle_background() {
    app_state.show_background = !app_state.show_background;
    sync_mesh_checkboxes();
}

void toggle_culling() {
    app_state.cull_back_faces = !app_state.cull_back_faces;
    set_gl_capability(GL_CULL_FACE, app_state.cull_back_faces);
    sync_mesh_checkboxes();
}

void remove_mesh(tkm_mesh *mesh) {
    if (mesh) release_mesh(mesh);
    show_mesh_fields(nullptr, nullptr);
}

void remove_mesh_command() {
    if (app_state.mesh) {
        remove_mesh(app_state.mesh);
        app_state.mesh = nullptr;
        app_state.mesh_file_name.clear();
    } else if (app_state.weapon_mesh) {
        // A weapon's rest pose belongs to it alone; a character's animation outlives its mesh.
        remove_mesh(app_state.weapon_mesh);
        app_state.weapon_mesh = nullptr;
        app_state.weapon_file_name.clear();
        release_animation(app_state.weapon_animation);
        app_state.weapon_animation = nullptr;
    } else {
        remove_mesh(nullptr);
        return;
    }
    app_state.mesh_changes++;
    show_current_mesh();
}

void clear_animation(tka_animation *animation) {
    if (animation) release_animation(animation);
    app_state.current_frame = 0;
    app_state.animation_file_name.clear();
    for (int id : {animation_name_field, animation_frames_field, current_frame_field_id})
        set_dlg_item_text(app_state.animation_window, id, "");
}

void show_mesh_fields(const tkm_mesh *mesh, const char *file_name) {
    GtkWidget *window = app_state.mesh_window;
    if (!mesh) {
        for (int id : {mesh_name_field, mesh_triangles_field, mesh_bones_field, mesh_class_field})
            set_dlg_item_text(window, id, "");
        return;
    }
    set_dlg_item_text(window, mesh_name_field, file_name);
    set_dlg_item_int(window, mesh_triangles_field, mesh->num_triangles);
    set_dlg_item_int(window, mesh_bones_field, mesh->num_bones);
    set_dlg_item_text(window, mesh_class_field, mesh->class_name);
}

tkm_mesh *const *mesh_on_show() {
    if (app_state.mesh) return &app_state.mesh;
    if (app_state.weapon_mesh) return &app_state.weapon_mesh;
    return nullptr;
}

void show_current_mesh() {
    tkm_mesh *const *shown = mesh_on_show();
    if (!shown) {
        show_mesh_fields(nullptr, nullptr);
        return;
    }
    const bool character = shown == &app_state.mesh;
    show_mesh_fields(*shown,
                     (character ? app_state.mesh_file_name : app_state.weapon_file_name).c_str());
}

void show_current_animation() {
    GtkWidget *window = app_state.animation_window;
    const tka_animation *animation = app_state.animation;
    if (!animation || app_state.rest_pose_animation) {
        for (int id : {animation_name_field, animation_frames_field, current_frame_field_id})
            set_dlg_item_text(window, id, "");
        return;
    }
    set_dlg_item_text(window, animation_name_field, app_state.animation_file_name.c_str());
    set_dlg_item_int(window, animation_frames_field, animation->num_frames);
    show_current_frame();
}

void create_tool_windows() {
    std::string directory;
    std::vector<char> buffer(path_capacity);
    if (getcwd(buffer.data(), buffer.size())) directory = buffer.data();
    app_state.mesh_directory = directory;
    app_state.animation_directory = directory;
    app_state.texture_directory = directory;
    app_state.screenshot_directory = directory;
    app_state.mesh_filter_index = 1;
    app_state.animation_filter_index = 1;
    app_state.texture_filter_index = 1;
    app_state.screenshot_filter_index = 1;
    app_state.instance_handle = tarvik_gui_get_resource();
    if (!gui_available()) {
        real_meow("Can't create menu window: %d\n", -1);
        return;
    }
    set_gl_window_icon();
    create_menu_window();
}
