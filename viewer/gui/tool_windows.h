// SPDX-License-Identifier: MIT
// The four modeless tool windows (menu, mesh, animation, textures) and the drawing toggles.
#pragma once

#include <cstdint>

typedef struct _GtkWidget GtkWidget;
struct tkm_mesh;
struct tka_animation;

// Start-up of the tool windows: chooser directories and filters, program icon, menu window shown.
void create_tool_windows();
// Opens the mesh window (once) and resets the camera orientation; 1 when it was created.
int32_t open_mesh_window();
// Opens the animation window (once); 1 when it was created.
int32_t open_animation_window();
// Creates and shows the textures window, transient for parent (may be null); 1 when created,
// 0 when one exists already or creation failed.
int32_t open_textures_window(GtkWidget *parent);

// Sets every check box of the mesh window from its flag; harmless without the window.
void sync_mesh_checkboxes();
// Each inverts its drawing flag (with its GL side effect) and then syncs the check boxes.
void toggle_bones();
void toggle_mesh();
void toggle_textures(); // show_textures and white_materials, each inverted on its own
void toggle_normals();
void toggle_hit_detection(); // lighting off while hit regions are shown
void toggle_wireframe();     // mesh_primitive between GL_TRIANGLES and GL_LINE_STRIP
void toggle_line_smoothing();
void toggle_background();
void toggle_culling();

// Releases mesh (may be null) and empties the mesh window's fields; the caller clears its pointer.
void remove_mesh(tkm_mesh *mesh);
// Mesh window "Remove": takes the character mesh off the screen, or the weapon (with its rest
// pose) when no character is loaded; the window then shows what is left.
void remove_mesh_command();
// Releases animation (may be null), sets current_frame to 0, forgets its file name and empties
// the animation fields; the caller clears its pointer.
void clear_animation(tka_animation *animation);

// Writes mesh's file name, triangle count, bone count and class into the mesh window (empty
// fields for a null mesh); nothing while the window is closed.
void show_mesh_fields(const tkm_mesh *mesh, const char *file_name);
// The mesh Save and Remove act on: the character mesh, else the weapon mesh, else null.
tkm_mesh *const *mesh_on_show();
// Fills the mesh window from the mesh on show, and the animation window from a loaded animation
// (name, frames, current frame; empty for a rest pose): what a window shows when it opens.
void show_current_mesh();
void show_current_animation();
