// SPDX-License-Identifier: MIT
// The tool windows on Windows, until their dialog templates are built: the commands stay on the
// OpenGL window's keys, and the calls that would open or refresh a window find none to act on.
#include "viewer/gui/textures_window.h"
#include "viewer/gui/tool_windows.h"

#include "viewer/app/app_state.h"
#include "viewer/textures/texture_loading.h"

void set_gui_commands(const gui_commands &) {}

void create_system_tool_windows() {}

int32_t open_mesh_window() {
    // The mesh window's opening turns the camera back, which the key still does.
    const float identity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 4; i++)
        app_state.camera_orientation[i] = identity[i];
    return 0;
}

int32_t open_animation_window() {
    return 0;
}

int32_t open_textures_window(native_window) {
    return 0;
}

void sync_mesh_checkboxes() {}

native_window get_texture_list_box() {
    return nullptr;
}

void gui_generate_textures_list(const tkm_mesh *, int32_t, const uint32_t *) {}

void reload_listed_textures(tkm_mesh *mesh) {
    if (mesh) reload_textures(mesh);
}

void browse_for_texture() {}

void replace_textures(tkm_mesh *) {}

void show_only_selected(tkm_mesh *) {}
