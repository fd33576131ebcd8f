// SPDX-License-Identifier: MIT
// The controls of the four tool windows, one enum per window. A window's template names each
// control "c" and its number ("c1007"), and the numbers are the window's own: 1003 is the menu's
// Background, the mesh window's Save and the animation window's Reset.
#pragma once

// Menu window.
enum menu_control : int {
    menu_exit_picture = 1000,
    menu_background_button = 1003,
    menu_background_field = 1010, // the background image's file name
    menu_animation_picture = 1013,
    menu_mesh_picture = 1014,
    menu_screenshot_picture = 1031,
};

// Mesh window.
enum mesh_control : int {
    mesh_load_button = 1001,
    mesh_save_button = 1003,
    mesh_textures_button = 1004,
    mesh_remove_button = 1006,
    mesh_name_field = 1007, // the mesh's file name
    mesh_triangles_field = 1017,
    mesh_bones_field = 1018,
    mesh_class_field = 1019,
    mesh_bones_box = 1021, // check boxes, one per drawing flag
    mesh_mesh_box = 1022,
    mesh_textures_box = 1023,
    mesh_hit_detection_box = 1024,
    mesh_wireframe_box = 1026,
    mesh_line_smoothing_box = 1027,
    mesh_normals_box = 1028,
    mesh_background_box = 1029,
};

// Animation window.
enum animation_control : int {
    animation_load_button = 1002,
    animation_reset_button = 1003, // back to the rest pose
    animation_name_field = 1008,   // the animation's file name
    animation_frames_field = 1016,
    animation_current_frame_field = 1017, // "Current frame:", counted from 1
    animation_previous_button = 1022,
    animation_next_button = 1023,
    animation_play_button = 1024,
};

// Textures window.
enum textures_control : int {
    textures_list_box = 1004,
    textures_reload_button = 1005,
    textures_browse_button = 1006,
    textures_replace_button = 1007,
    textures_show_selected_button = 1008,
    textures_replacement_field = 1012, // the replacement image's path
};
