// SPDX-License-Identifier: MIT
// The application's commands and notices, handed down to the layers that call them.
#include "viewer/app/layer_wiring.h"

#include "viewer/app/commands.h"
#include "viewer/app/posing.h"
#include "viewer/app/startup.h"
#include "viewer/app/unload_commands.h"
#include "viewer/app/view_commands.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/gui/gui_loop.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/render/redraw.h"
#include "viewer/textures/texture_loading.h"
#include "viewer/window/window.h"

const gui_commands &viewer_commands() {
    static const gui_commands table = {
        .quit = quit_command,
        .background = background_command,
        .screenshot = screenshot_command,
        .load_mesh = load_mesh_command,
        .save_mesh = save_mesh_command,
        .remove_mesh = remove_mesh_command,
        .toggle_bones = toggle_bones,
        .toggle_mesh = toggle_mesh,
        .toggle_textures = toggle_textures,
        .toggle_normals = toggle_normals,
        .toggle_hit_detection = toggle_hit_detection,
        .toggle_wireframe = toggle_wireframe,
        .toggle_line_smoothing = toggle_line_smoothing,
        .toggle_background = toggle_background,
        .load_animation = load_animation_command,
        .reset_animation = reset_animation_command,
        .play = toggle_playing,
        .previous_frame = previous_frame,
        .next_frame = next_frame,
    };
    return table;
}

void wire_viewer_layers() {
    // The window layer waits in the GUI's loop, so tool windows and their timers work meanwhile.
    static const window_wait_calls gui_wait = {wait_for_input, add_gui_timer, wake_gui_loop};
    set_window_wait_calls(&gui_wait);
    set_gui_commands(viewer_commands());
    // What the OpenGL window was told while a chooser was open is handled before it counts as
    // closed: a command key pressed meanwhile is refused, not run after it.
    set_chooser_closing_hook(handle_pending_events);
    set_picture_change_hook(note_picture_change);
}
