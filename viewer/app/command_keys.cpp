// SPDX-License-Identifier: MIT
// Command keys: each runs a tool-window command or flips a drawing toggle once, on release.
#include "viewer/app/command_keys.h"

#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/app/view_commands.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/tool_windows.h"
#include "viewer/window/keys.h"

namespace {

struct command_key {
    int32_t key; // key_code: letters are the same with or without Shift or Caps Lock
    void (*run)();
};

constexpr command_key command_keys[] = {
    {keysym_3, toggle_line_smoothing},
    {keysym_4, toggle_wireframe},
    {keysym_5, toggle_culling},
    {keysym_6, toggle_textures},
    {keysym_7, toggle_background},
    {keysym_8, toggle_normals},
    {keysym_b, background_command},
    {keysym_m, load_mesh_command},
    {keysym_n, load_animation_command},
    {keysym_t, [] { open_textures_window(nullptr); }},
    {keysym_v,
     [] {
         // The character's textures first: they are the ones the textures window lists.
         reload_listed_textures(app_state.mesh);
         reload_listed_textures(app_state.weapon_mesh);
     }},
};

} // namespace

int32_t on_command_key(int32_t key) {
    for (const command_key &row : command_keys)
        if (row.key == key) {
            row.run();
            return 1;
        }
    return 0;
}
