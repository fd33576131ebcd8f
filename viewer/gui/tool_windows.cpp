// SPDX-License-Identifier: MIT
// What the tool windows show, written once for every toolkit: the fields of the mesh and
// animation windows and the choosers' start settings. The windows themselves are the toolkit's
// (tool_windows_gtk.cpp).
#include "viewer/gui/tool_windows.h"

#include <string>

#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/files/file_status.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/mesh/mesh.h"

void clear_animation_fields() {
    for (int id : {animation_name_field, animation_frames_field, animation_current_frame_field})
        set_dlg_item_text(app_state.animation_window, id, "");
}

void show_current_frame() {
    set_dlg_item_int(app_state.animation_window, animation_current_frame_field,
                     app_state.current_frame + 1);
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
        clear_animation_fields();
        return;
    }
    set_dlg_item_text(window, animation_name_field, app_state.animation_file_name.c_str());
    set_dlg_item_int(window, animation_frames_field, animation->num_frames);
    show_current_frame();
}

void create_tool_windows() {
    const std::string directory = current_directory();
    app_state.mesh_directory = directory;
    app_state.animation_directory = directory;
    app_state.texture_directory = directory;
    app_state.screenshot_directory = directory;
    app_state.mesh_filter_index = 1;
    app_state.animation_filter_index = 1;
    app_state.texture_filter_index = 1;
    app_state.screenshot_filter_index = 1;
    create_system_tool_windows();
}
