// SPDX-License-Identifier: MIT
// Command keys: each runs a tool-window command or flips a drawing toggle once, on release.
#include "viewer/app/command_keys.h"

#include <SDL/SDL_keysym.h>

#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/app/view_commands.h"
#include "viewer/gui/textures_window.h"
#include "viewer/gui/tool_windows.h"

namespace {

struct command_key {
    int32_t key; // SDL key symbol: letters are the same with or without Shift or Caps Lock
    void (*run)();
};

constexpr command_key command_keys[] = {
    {SDLK_3, toggle_line_smoothing},
    {SDLK_4, toggle_wireframe},
    {SDLK_5, toggle_culling},
    {SDLK_6, toggle_textures},
    {SDLK_7, toggle_background},
    {SDLK_8, toggle_normals},
    {SDLK_b, background_command},
    {SDLK_m, load_mesh_command},
    {SDLK_n, load_animation_command},
    {SDLK_t, [] { open_textures_window(nullptr); }},
    {SDLK_v,
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
