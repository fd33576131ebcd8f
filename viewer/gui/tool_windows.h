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
// Releases animation (may be null), sets current_frame to 0 and empties the animation fields;
// the caller clears its pointer.
void clear_animation(tka_animation *animation);
