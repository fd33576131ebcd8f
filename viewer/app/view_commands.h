// SPDX-License-Identifier: MIT
// The commands that change what the view shows: the drawing toggles (with the OpenGL state they
// switch), playing the animation, the background image, the screenshot and quitting.
#pragma once

// Each inverts its drawing flag (with its GL side effect) and then syncs the mesh window's check
// boxes. Main thread, GL context current.
void toggle_bones();
void toggle_mesh();
void toggle_textures(); // show_textures and white_materials, each inverted on its own
void toggle_normals();
void toggle_hit_detection(); // lighting off while hit regions are shown
void toggle_wireframe();     // mesh_primitive between GL_TRIANGLES and GL_LINE_STRIP
void toggle_line_smoothing();
void toggle_background();
void toggle_culling();

// Animation window "Play": pauses or resumes the animation timer's frame steps.
void toggle_playing();
// Menu window exit picture: the main loop ends after this pass.
void quit_command();

// Menu window "&Background" and key b: choose and load a background image.
void background_command();
// Menu window screenshot picture: choose a bitmap name and save the view into it.
void screenshot_command();
