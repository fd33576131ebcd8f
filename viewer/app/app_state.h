// SPDX-License-Identifier: MIT
// The viewer's one global record of settings and state, shared by every part of the viewer.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/files/paths.h"
#include "viewer/window/window.h"

struct tkm_mesh;
struct tka_animation;

// The opaque white passed to OpenGL for light and plain materials.
inline constexpr float white_rgba[4] = {1.0f, 1.0f, 1.0f, 1.0f};

// Flags are int32 booleans (0 off, non-zero on); see each group for who writes them.
struct app_state_record {
    // ---- window
    int32_t window_width = 640;      // pixels; stored back by create_gl_window
    int32_t window_height = 480;     // pixels
    window_handle *window = nullptr; // the OpenGL window; closed at shut-down
    int32_t window_active = 1;       // frames are drawn and joysticks polled only while set
    int32_t quit_requested = 0;      // the main loop ends when set

    // ---- camera
    float camera_x = 0.0f;
    float camera_y = -40.0f;
    float camera_z = -96.0f;
    float camera_orientation[4] = {0.0f, 0.0f, 0.0f, 1.0f}; // x, y, z, w
    int32_t alt_held = 0; // left Alt held: the alternate mouse mode

    // ---- what is drawn
    int32_t show_mesh = 1;
    int32_t show_textures = 1;
    int32_t white_materials = 1; // always flipped together with show_textures
    int32_t show_bones = 0;
    int32_t show_background = 0;
    int32_t show_normals = 0;
    int32_t show_hit_detection = 0;
    int32_t line_smoothing = 0;
    int32_t cull_back_faces = 1;
    uint32_t mesh_primitive = 4; // GL_TRIANGLES, or GL_LINE_STRIP (3) for the wire view
    int32_t joystick_enabled = 1;

    // ---- model and animation (owned through these fields)
    tkm_mesh *mesh = nullptr;
    tka_animation *animation = nullptr;
    tkm_mesh *weapon_mesh = nullptr;
    tka_animation *weapon_animation = nullptr;
    int32_t current_frame = 0;
    int32_t animation_paused = 1;
    int32_t rest_pose_animation = 0;
    std::string mesh_file_name;      // file name part of mesh's path, as the mesh window shows it
    std::string weapon_file_name;    // the same for weapon_mesh
    std::string animation_file_name; // the same for a loaded animation; empty for a rest pose
    uint32_t mesh_changes = 0;       // bumped when mesh or weapon_mesh is replaced or removed, so a
                                     // command that waited in a file chooser sees its mesh is gone

    // ---- background image
    uint32_t background_texture = 0; // GL texture name
    int32_t background_loaded = 0;

    // ---- tool windows and file choosers
    void *instance_handle = nullptr; // the resource bundle the windows are built from
    native_window menu_window;       // the GUI toolkit's windows: null while closed
    native_window mesh_window;
    native_window animation_window;
    native_window textures_window;
    char chosen_path[path_capacity] = {}; // full path chosen in the last file chooser
    uint16_t chosen_name_offset = 0;      // offset of the file name within chosen_path
    std::string mesh_directory;
    std::string animation_directory;
    std::string texture_directory;
    std::string screenshot_directory;
    std::string background_directory;
    uint32_t mesh_filter_index = 1;
    uint32_t animation_filter_index = 1;
    uint32_t texture_filter_index = 1;
    uint32_t screenshot_filter_index = 1;
};

// The single instance, alive for the whole run.
extern app_state_record app_state;
