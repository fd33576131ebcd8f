// SPDX-License-Identifier: MIT
// Shared set-up of the GUI tests: GTK, the SDL OpenGL window and the tool windows, as start-up
// brings them up, plus small helpers to press widgets and build meshes in memory.
#pragma once

#include <SDL/SDL.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/memory.h"
#include "viewer/app/app_state.h"
#include "viewer/app/layer_wiring.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/gl_window.h"
#include "viewer/textures/image_loading.h"
#include "viewer/window/window_sdl.h"

// Brings up GTK, SDL with the OpenGL window, the image library and the tool windows once per
// process; 1 when all of it is there.
inline int start_viewer_windows() {
    static int started = -1;
    if (started >= 0) return started;
    started = 0;
    if (!gui_platform_init()) return 0;
    if (window_system_init() != window_ok || SDL_InitSubSystem(SDL_INIT_TIMER) < 0) return 0;
    app_state.window = create_gl_window(app_state.window_width, app_state.window_height);
    if (!app_state.window) return 0;
    init_image_loading();
    wire_viewer_layers();
    create_tool_windows();
    started = app_state.menu_window != nullptr;
    return started;
}

// Runs GTK until nothing is pending, a few rounds so that mapping and configure events land.
inline void settle() {
    for (int i = 0; i < 5; i++) {
        pump_gui_events();
        g_usleep(2000);
    }
    pump_gui_events();
}

// Presses a picture control (an event box) with the left mouse button, as a click does.
inline void press_picture(GtkWidget *window, int id) {
    GtkWidget *box = get_dlg_item(window, id);
    ASSERT_NE(box, nullptr) << "control " << id;
    GdkEvent *event = gdk_event_new(GDK_BUTTON_PRESS);
    GdkWindow *target = gtk_widget_get_window(box);
    event->button.window = target ? GDK_WINDOW(g_object_ref(target)) : nullptr;
    event->button.button = 1;
    event->button.send_event = TRUE;
    event->button.device =
        gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
    gtk_widget_event(box, event);
    gdk_event_free(event);
    settle();
}

// Clicks a push button or check box control of window.
inline void press_button(GtkWidget *window, int id) {
    GtkWidget *button = get_dlg_item(window, id);
    ASSERT_NE(button, nullptr) << "control " << id;
    ASSERT_TRUE(GTK_IS_BUTTON(button)) << "control " << id;
    gtk_button_clicked(GTK_BUTTON(button));
    settle();
}

// Closes a tool window as its close box does.
inline void close_window(GtkWidget *window) {
    gtk_window_close(GTK_WINDOW(window));
    settle();
}

// A mesh with the given texture base names (stored as Windows paths), a directory, and a texture
// table of loaded flags (none when loaded is empty). Release with release_mesh.
inline tkm_mesh *make_textured_mesh(const std::vector<std::string> &names,
                                    const std::vector<uint32_t> &loaded) {
    tkm_mesh *mesh = create_mesh();
    mesh->num_texture_names = static_cast<uint16_t>(names.size());
    mesh->texture_names = alloc_elements<texture_name>(static_cast<uint32_t>(names.size()));
    for (size_t i = 0; i < names.size(); i++) {
        std::string path = "C:\\game\\textures\\" + names[i];
        texture_name &name = mesh->texture_names[i];
        name.length = static_cast<uint16_t>(path.size());
        name.path = alloc_counted_string(path.c_str(), name.length);
        set_texture_base(&name);
    }
    const char *directory = "/nonexistent-tarvik-dir";
    mesh->directory_length = static_cast<uint16_t>(std::strlen(directory));
    mesh->directory = alloc_counted_string(directory, mesh->directory_length);
    if (!loaded.empty()) {
        mesh->gl_textures.num_textures = static_cast<uint32_t>(loaded.size());
        mesh->gl_textures.textures = alloc_elements<uint32_t>(static_cast<uint32_t>(loaded.size()));
        mesh->gl_textures.loaded = alloc_elements<uint32_t>(static_cast<uint32_t>(loaded.size()));
        for (size_t i = 0; i < loaded.size(); i++)
            mesh->gl_textures.loaded[i] = loaded[i];
    }
    return mesh;
}

// A mesh whose skeleton is count root bones at rest. Release with release_mesh.
inline tkm_mesh *make_boned_mesh(uint16_t count) {
    tkm_mesh *mesh = create_mesh();
    mesh->num_bones = count;
    mesh->bones = alloc_elements<tkm_bone>(count);
    for (uint16_t i = 0; i < count; i++) {
        mesh->bones[i].parent = no_parent;
        mesh->bones[i].rotation[3] = 1.0f;
        for (int k = 0; k < 16; k += 5)
            mesh->bones[i].local[k] = mesh->bones[i].world[k] = 1.0f;
    }
    mesh->class_name = model_class_name(mesh);
    return mesh;
}
