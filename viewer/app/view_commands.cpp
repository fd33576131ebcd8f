// SPDX-License-Identifier: MIT
// The view's commands: drawing toggles, playing, background, screenshot and quit.
//
// Sections: toggles | menu window commands
#include "viewer/app/view_commands.h"

#include <GL/gl.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "support/messages.h"
#include "support/scratch_write.h"
#include "viewer/app/app_state.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/render/background.h"

namespace {

constexpr file_filter background_filters[] = {{"All files", "*.*"}};
constexpr file_filter screenshot_filters[] = {{"Bitmap files", "*.bmp"}, {"All files", "*.*"}};

void set_gl_capability(GLenum capability, int32_t on) {
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

// chosen_path keeps only its directory once a command has used the file.
void cut_chosen_path_to_directory() {
    std::string directory = chosen_directory();
    std::memcpy(app_state.chosen_path, directory.c_str(), directory.size() + 1);
}

} // namespace

// ---- toggles

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

void toggle_playing() {
    app_state.animation_paused = !app_state.animation_paused;
}

// ---- menu window commands

void quit_command() {
    app_state.quit_requested = 1;
}

void background_command() {
    if (!choose_file(nullptr, background_filters, "Open background image",
                     app_state.background_directory.c_str(), nullptr))
        return;
    int32_t code = load_background(app_state.chosen_path);
    if (code == 0) {
        app_state.show_background = 1;
        set_dlg_item_text(app_state.menu_window, menu_background_field,
                          app_state.chosen_path + app_state.chosen_name_offset);
    } else {
        real_meow("Error loading background: %d\n", code);
    }
    app_state.background_directory = chosen_directory();
    cut_chosen_path_to_directory();
}

void screenshot_command() {
    if (!choose_file("bmp", screenshot_filters, "Choose filename to take screenshot",
                     app_state.screenshot_directory.c_str(), &app_state.screenshot_filter_index))
        return;
    int32_t code = take_screenshot(app_state.chosen_path);
    if (code != 0) {
        const int reason = code == screenshot_save_failed ? errno : 0;
        real_meow("Error taking screenshot: %d%s\n", code, bracketed_reason(reason).c_str());
        return;
    }
    real_purr("Saved screenshot at %s\n", app_state.chosen_path);
    app_state.screenshot_directory = chosen_directory();
    cut_chosen_path_to_directory();
}
