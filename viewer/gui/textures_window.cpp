// SPDX-License-Identifier: MIT
// The textures window's list (one line per texture, each carrying the texture's index) and its
// commands, over the toolkit's list box.
#include "viewer/gui/textures_window.h"

#include <cerrno>
#include <string>
#include <vector>

#include "support/messages.h"
#include "viewer/app/app_state.h"
#include "viewer/gui/control_ids.h"
#include "viewer/gui/dialog.h"
#include "viewer/gui/file_chooser.h"
#include "viewer/mesh/mesh.h"
#include "viewer/textures/texture_list.h"
#include "viewer/textures/texture_loading.h"

namespace {

constexpr file_filter texture_filters[] = {
    {"All supported image files", "*.bmp;*.tga"},
    {"Bitmap files", "*.bmp"},
    {"Targa files", "*.tga"},
    {"All files", "*.*"},
};

// The checks shared by "Replace textures" and "Show only &selected"; the list box, or null
// after the failing check has reported.
native_window usable_list(const tkm_mesh *mesh, const char *nothing_selected) {
    if (!mesh) {
        real_meow("No mesh loaded!\n");
        return nullptr;
    }
    native_window list = get_texture_list_box();
    if (!list) return nullptr;
    if (list_box_length(list) == 0) {
        real_meow("No textures loaded!\n");
        return nullptr;
    }
    if (list_box_selected_count(list) == 0) {
        real_meow("%s", nothing_selected);
        return nullptr;
    }
    return list;
}

} // namespace

native_window get_texture_list_box() {
    const native_window list = get_dlg_item(app_state.textures_window, textures_list_box);
    if (!is_list_box(list)) {
        real_meow("Can't get listbox handle: %d!\n", ENOENT);
        return nullptr;
    }
    return list;
}

void gui_generate_textures_list(const tkm_mesh *mesh, int32_t count, const uint32_t *selection) {
    if (!mesh || !app_state.textures_window) return;
    native_window list = get_texture_list_box();
    if (!list) return;
    clear_list_box(list);
    for (const texture_list_line &line : texture_list_lines(mesh))
        add_list_box_line(list, line.text.c_str(), line.index);
    if (count < 1 || !selection) return;
    for (int32_t i = 0; i < count; i++)
        select_list_box_line(list, static_cast<int>(selection[i] & 0xFFFF));
}

void reload_listed_textures(tkm_mesh *mesh) {
    if (!mesh) return;
    const bool listed = mesh == app_state.mesh && app_state.textures_window;
    native_window list = listed ? get_texture_list_box() : nullptr;
    std::vector<uint32_t> selected;
    if (list) selected = list_box_selected_numbers(list, mesh->num_texture_names);
    reload_textures(mesh);
    if (list)
        gui_generate_textures_list(mesh, static_cast<int32_t>(selected.size()), selected.data());
}

void browse_for_texture() {
    if (!choose_file(nullptr, texture_filters, "Choose a new texture",
                     app_state.texture_directory.c_str(), &app_state.texture_filter_index))
        return;
    app_state.texture_directory = chosen_directory();
    if (!is_edit_box(get_dlg_item(app_state.textures_window, textures_replacement_field))) {
        real_meow("Can't set edit box to new texture name: %d!\n", ENOENT);
        return;
    }
    set_dlg_item_text(app_state.textures_window, textures_replacement_field, app_state.chosen_path);
}

void replace_textures(tkm_mesh *mesh) {
    native_window list = usable_list(mesh, "No textures selected for replacement!\n");
    if (!list) return;
    std::string replacement =
        get_dlg_item_text(app_state.textures_window, textures_replacement_field);
    if (replacement.empty()) {
        real_meow("No replacement texture name!\n");
        return;
    }
    std::vector<uint32_t> indices = list_box_selected_numbers(list, mesh->num_texture_names);
    if (indices.empty()) {
        real_meow("Can't get selected items: %d!\n", ENOENT);
        return;
    }
    replace_texture_paths(mesh, indices, replacement.c_str());
    reload_textures(mesh);
    gui_generate_textures_list(mesh, static_cast<int32_t>(indices.size()), indices.data());
}

void show_only_selected(tkm_mesh *mesh) {
    native_window list = usable_list(mesh, "No textures selected to show!\n");
    if (!list) return;
    std::vector<uint32_t> indices = list_box_selected_numbers(list, mesh->num_texture_names);
    if (indices.empty()) {
        real_meow("Can't get selected items: %d!\n", ENOENT);
        return;
    }
    show_only_textures(mesh, indices);
}
