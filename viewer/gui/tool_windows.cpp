// SPDX-License-Identifier: MIT
// What the tool windows do, written once for every toolkit: which control runs which command,
// how the check boxes follow the drawing flags, what the fields show, and when a window opens.
// The windows themselves are the toolkit's (tool_windows_gtk.cpp, tool_windows_win32.cpp).
//
// Sections: controls | fields | opening | start-up
#include "viewer/gui/tool_windows.h"

#include <GL/gl.h>

#include <iterator>
#include <string>

#include "support/messages.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/files/file_status.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/tool_window_system.h"
#include "viewer/mesh/mesh.h"

namespace {

// ---- controls

// The application's commands, as set_gui_commands was last given them.
gui_commands commands{};

// A control that runs one of the application's commands, or (command null) an action of the
// windows themselves.
struct control_row {
    tool_control control;
    void (*gui_commands::*command)();
    void (*own)();
};

void textures_command() {
    open_textures_window(app_state.mesh_window);
}
void reload_command() {
    reload_listed_textures(app_state.mesh);
}
void replace_command() {
    replace_textures(app_state.mesh);
}
void show_selected_command() {
    show_only_selected(app_state.mesh);
}
void mesh_picture_command() {
    open_mesh_window();
}
void animation_picture_command() {
    open_animation_window();
}

constexpr control_row menu_rows[] = {
    {{menu_mesh_picture, tool_control_picture}, nullptr, mesh_picture_command},
    {{menu_animation_picture, tool_control_picture}, nullptr, animation_picture_command},
    {{menu_exit_picture, tool_control_picture}, &gui_commands::quit, nullptr},
    {{menu_background_button, tool_control_button}, &gui_commands::background, nullptr},
    {{menu_screenshot_picture, tool_control_picture}, &gui_commands::screenshot, nullptr},
};

constexpr control_row mesh_rows[] = {
    {{mesh_load_button, tool_control_button}, &gui_commands::load_mesh, nullptr},
    {{mesh_save_button, tool_control_button}, &gui_commands::save_mesh, nullptr},
    {{mesh_remove_button, tool_control_button}, &gui_commands::remove_mesh, nullptr},
    {{mesh_textures_button, tool_control_button}, nullptr, textures_command},
    {{mesh_bones_box, tool_control_check_box}, &gui_commands::toggle_bones, nullptr},
    {{mesh_mesh_box, tool_control_check_box}, &gui_commands::toggle_mesh, nullptr},
    {{mesh_textures_box, tool_control_check_box}, &gui_commands::toggle_textures, nullptr},
    {{mesh_normals_box, tool_control_check_box}, &gui_commands::toggle_normals, nullptr},
    {{mesh_hit_detection_box, tool_control_check_box},
     &gui_commands::toggle_hit_detection,
     nullptr},
    {{mesh_wireframe_box, tool_control_check_box}, &gui_commands::toggle_wireframe, nullptr},
    {{mesh_line_smoothing_box, tool_control_check_box},
     &gui_commands::toggle_line_smoothing,
     nullptr},
    {{mesh_background_box, tool_control_check_box}, &gui_commands::toggle_background, nullptr},
};

constexpr control_row animation_rows[] = {
    {{animation_load_button, tool_control_button}, &gui_commands::load_animation, nullptr},
    {{animation_reset_button, tool_control_button}, &gui_commands::reset_animation, nullptr},
    {{animation_play_button, tool_control_button}, &gui_commands::play, nullptr},
    {{animation_previous_button, tool_control_button}, &gui_commands::previous_frame, nullptr},
    {{animation_next_button, tool_control_button}, &gui_commands::next_frame, nullptr},
};

constexpr control_row textures_rows[] = {
    {{textures_reload_button, tool_control_button}, nullptr, reload_command},
    {{textures_show_selected_button, tool_control_button}, nullptr, show_selected_command},
    {{textures_browse_button, tool_control_button}, nullptr, browse_for_texture},
    {{textures_replace_button, tool_control_button}, nullptr, replace_command},
};

struct window_rows {
    const control_row *rows;
    size_t count;
};
constexpr window_rows rows_of[num_tool_window_kinds] = {
    {menu_rows, std::size(menu_rows)},
    {mesh_rows, std::size(mesh_rows)},
    {animation_rows, std::size(animation_rows)},
    {textures_rows, std::size(textures_rows)},
};

// Each check box of the mesh window and the drawing flag it shows.
struct check_box_flag {
    int id;
    bool (*checked)();
};
constexpr check_box_flag check_box_flags[] = {
    {mesh_bones_box, [] { return app_state.show_bones != 0; }},
    {mesh_mesh_box, [] { return app_state.show_mesh != 0; }},
    {mesh_textures_box, [] { return app_state.show_textures != 0; }},
    {mesh_hit_detection_box, [] { return app_state.show_hit_detection != 0; }},
    {mesh_wireframe_box, [] { return app_state.mesh_primitive == GL_LINE_STRIP; }},
    {mesh_line_smoothing_box, [] { return app_state.line_smoothing != 0; }},
    {mesh_background_box, [] { return app_state.show_background != 0; }},
    {mesh_normals_box, [] { return app_state.show_normals != 0; }},
};

constexpr menu_picture pictures[] = {
    {menu_mesh_picture, 111, "mesh_picture.xpm", "TKM bitmap not loaded: %d!\n"},
    {menu_animation_picture, 110, "animation_picture.xpm", "TKA bitmap not loaded: %d!\n"},
    {menu_exit_picture, 114, "exit_picture.xpm", "Exit bitmap not loaded: %d!\n"},
    {menu_screenshot_picture, 126, "screenshot_picture.xpm", "Screenshot bitmap not loaded: %d!\n"},
};

// While the boxes are being set from the flags, a toolkit that tells of every change of a box
// must not flip the flags again.
int syncing_checkboxes = 0;

} // namespace

size_t tool_window_control_count(tool_window_kind kind) {
    return rows_of[kind].count;
}

tool_control tool_window_control(tool_window_kind kind, size_t index) {
    return rows_of[kind].rows[index].control;
}

const menu_picture *menu_pictures(size_t *count) {
    *count = std::size(pictures);
    return pictures;
}

native_window *tool_window_handle(tool_window_kind kind) {
    native_window *const handles[num_tool_window_kinds] = {
        &app_state.menu_window, &app_state.mesh_window, &app_state.animation_window,
        &app_state.textures_window};
    return handles[kind];
}

void run_tool_window_command(tool_window_kind kind, int id) {
    if (syncing_checkboxes || kind < 0 || kind >= num_tool_window_kinds) return;
    const window_rows rows = rows_of[kind];
    for (size_t i = 0; i < rows.count; i++) {
        const control_row &row = rows.rows[i];
        if (row.control.id != id) continue;
        void (*run)() = row.command ? commands.*row.command : row.own;
        if (run) run();
        return;
    }
}

void set_gui_commands(const gui_commands &table) {
    commands = table;
}

void sync_mesh_checkboxes() {
    const native_window window = app_state.mesh_window;
    if (!window) return;
    syncing_checkboxes = 1;
    for (const check_box_flag &box : check_box_flags)
        check_dlg_button(window, box.id, box.checked());
    syncing_checkboxes = 0;
}

// ---- fields

void clear_animation_fields() {
    for (int id : {animation_name_field, animation_frames_field, animation_current_frame_field})
        set_dlg_item_text(app_state.animation_window, id, "");
}

void show_current_frame() {
    set_dlg_item_int(app_state.animation_window, animation_current_frame_field,
                     app_state.current_frame + 1);
}

void show_mesh_fields(const tkm_mesh *mesh, const char *file_name) {
    const native_window window = app_state.mesh_window;
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
    const native_window window = app_state.animation_window;
    const tka_animation *animation = app_state.animation;
    if (!animation || app_state.rest_pose_animation) {
        clear_animation_fields();
        return;
    }
    set_dlg_item_text(window, animation_name_field, app_state.animation_file_name.c_str());
    set_dlg_item_int(window, animation_frames_field, animation->num_frames);
    show_current_frame();
}

// ---- opening

namespace {

// The window of kind built and its handle set, or null after the report of why not.
native_window open_tool_window(tool_window_kind kind, native_window parent, const char *failure) {
    int code = 0;
    const native_window window = build_tool_window(kind, parent, &code);
    if (!window) {
        real_meow(failure, code);
        return nullptr;
    }
    *tool_window_handle(kind) = window;
    return window;
}

} // namespace

int32_t open_mesh_window() {
    const float identity[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    for (int i = 0; i < 4; i++)
        app_state.camera_orientation[i] = identity[i];
    if (app_state.mesh_window) return 0;
    const native_window window =
        open_tool_window(tool_window_mesh, app_state.menu_window, "Can't create mesh window: %d\n");
    if (!window) return 0;
    sync_mesh_checkboxes();
    show_current_mesh();
    show_tool_window(window);
    return 1;
}

int32_t open_animation_window() {
    if (app_state.animation_window) return 0;
    const native_window window = open_tool_window(tool_window_animation, app_state.menu_window,
                                                  "Can't create animation window: %d\n");
    if (!window) return 0;
    show_tool_window(window);
    show_current_animation();
    return 1;
}

int32_t open_textures_window(native_window parent) {
    if (app_state.textures_window) return 0;
    const native_window window =
        open_tool_window(tool_window_textures, parent, "Can't create textures window: %d\n");
    if (!window) return 0;
    show_tool_window(window);
    gui_generate_textures_list(app_state.mesh, 0, nullptr);
    return 1;
}

// ---- start-up

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
    app_state.instance_handle = tool_window_resources();
    if (!gui_available()) {
        real_meow("Can't create menu window: %d\n", -1);
        return;
    }
    set_program_icon();
    // The menu's owner is the OpenGL window, which the toolkit finds itself.
    const native_window menu =
        open_tool_window(tool_window_menu, nullptr, "Can't create menu window: %d\n");
    if (menu) show_tool_window(menu);
}
