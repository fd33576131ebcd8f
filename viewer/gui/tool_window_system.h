// SPDX-License-Identifier: MIT
// The tool windows between what they do, written once (tool_windows.cpp), and the toolkit that
// shows them: one implementation per system builds a window from its template, reports each
// control's command back by id, and keeps app_state's handle true while the window lives.
#pragma once

#include <cstddef>

#include "viewer/window/window.h"

enum tool_window_kind : int {
    tool_window_menu = 0,
    tool_window_mesh = 1,
    tool_window_animation = 2,
    tool_window_textures = 3,
    num_tool_window_kinds = 4,
};

// How a control tells that it was used: a picture by a press of the left button on it, a push
// button by its click, a check box by its change of state.
enum tool_control_kind : int {
    tool_control_picture = 0,
    tool_control_button = 1,
    tool_control_check_box = 2,
};

// One control of a window that runs something; the action itself stays with tool_windows.cpp.
struct tool_control {
    int id;
    tool_control_kind kind;
};

// A picture of the menu window: the control it sits at the top left of, its resource under each
// toolkit (a bitmap's number, a picture file's name), and the report when it cannot be loaded.
struct menu_picture {
    int control;
    int resource_id;
    const char *resource_name;
    const char *failure;
};
inline constexpr int program_icon_resource = 105;

// The controls of kind that run something: how many, and each of them.
size_t tool_window_control_count(tool_window_kind kind);
tool_control tool_window_control(tool_window_kind kind, size_t index);
// The menu window's four pictures, in the order they are loaded.
const menu_picture *menu_pictures(size_t *count);
// Where app_state keeps the window of kind: null while it does not exist.
native_window *tool_window_handle(tool_window_kind kind);
// Runs what control id of a window of kind does, found by its id alone; ignored while the check
// boxes are being set from their flags, and for ids the window does not act on.
void run_tool_window_command(tool_window_kind kind, int id);

// ---- the toolkit's part

// What the windows are built from (the resource bundle, the program's module), for app_state.
void *tool_window_resources();
// The window of kind from its template, owned by parent (may be null; the menu's owner is always
// the OpenGL window), its controls reporting to
// run_tool_window_command and its end, however it comes, clearing *tool_window_handle(kind) when
// that is still this window. Not shown yet. Null with *error_code (the system's) on failure.
native_window build_tool_window(tool_window_kind kind, native_window parent, int *error_code);
// Shows a window build_tool_window made.
void show_tool_window(native_window window);
// The program icon on the OpenGL window and the tool windows; 0 when it cannot be had.
void set_program_icon();
