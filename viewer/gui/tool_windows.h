// SPDX-License-Identifier: MIT
// The four modeless tool windows (menu, mesh, animation, textures): they show what app_state
// holds and run the application's commands through the table it hands them.
#pragma once

#include <cstdint>

#include "viewer/window/window.h"

struct tkm_mesh;
struct tka_animation;

// What the windows' controls run, filled by the application before the windows open: every change
// to the models or the drawing flags is made there. A null entry leaves its control inert.
struct gui_commands {
    void (*quit)();       // menu exit picture
    void (*background)(); // menu "Background"
    void (*screenshot)(); // menu screenshot picture
    void (*load_mesh)();  // mesh window
    void (*save_mesh)();
    void (*remove_mesh)();
    void (*toggle_bones)(); // the mesh window's check boxes, one flag each
    void (*toggle_mesh)();
    void (*toggle_textures)();
    void (*toggle_normals)();
    void (*toggle_hit_detection)();
    void (*toggle_wireframe)();
    void (*toggle_line_smoothing)();
    void (*toggle_background)();
    void (*load_animation)(); // animation window
    void (*reset_animation)();
    void (*play)();
    void (*previous_frame)();
    void (*next_frame)();
};
// Copies commands in; the windows run these from now on.
void set_gui_commands(const gui_commands &commands);

// Start-up of the tool windows: chooser directories and filters, program icon, menu window shown.
void create_tool_windows();
// Opens the mesh window (once) and resets the camera orientation; 1 when it was created.
int32_t open_mesh_window();
// Opens the animation window (once); 1 when it was created.
int32_t open_animation_window();
// Creates and shows the textures window, transient for parent (may be null); 1 when created,
// 0 when one exists already or creation failed.
int32_t open_textures_window(native_window parent);

// Sets every check box of the mesh window from its flag; harmless without the window.
void sync_mesh_checkboxes();

// Writes mesh's file name, triangle count, bone count and class into the mesh window (empty
// fields for a null mesh); nothing while the window is closed.
void show_mesh_fields(const tkm_mesh *mesh, const char *file_name);
// The mesh Save and Remove act on: the character mesh, else the weapon mesh, else null.
tkm_mesh *const *mesh_on_show();
// Fills the mesh window from the mesh on show, and the animation window from a loaded animation
// (name, frames, current frame; empty for a rest pose): what a window shows when it opens.
void show_current_mesh();
void show_current_animation();
// Writes current_frame + 1 into the animation window (no-op while it does not exist).
void show_current_frame();
// Empties the animation window's name, frame count and current frame.
void clear_animation_fields();
