// SPDX-License-Identifier: MIT
// The textures window's commands: the list of the mesh's textures, replacement and selective
// showing.
#pragma once

#include <cstdint>

#include "viewer/window/window.h"

struct tkm_mesh;

// The textures window's list (textures_list_box), or null (reported when the window exists
// without it).
native_window get_texture_list_box();
// Refills the list from mesh ("  " or "! " + base name per texture); with count >= 1 and a
// selection, selects those texture indices again. Nothing for a null mesh or without the window.
void gui_generate_textures_list(const tkm_mesh *mesh, int32_t count, const uint32_t *selection);
// "&Reload textures" and key v: reloads mesh's textures (nothing for null); when mesh is the
// character the list is rebuilt to show what loaded now, keeping the selected lines selected.
void reload_listed_textures(tkm_mesh *mesh);
// "&Browse for texture": chooses the replacement image into the replacement field.
void browse_for_texture();
// "Replace textures": the selected textures take the path of the replacement field, then reload.
void replace_textures(tkm_mesh *mesh);
// "Show only &selected": hides every texture but the selected ones.
void show_only_selected(tkm_mesh *mesh);
