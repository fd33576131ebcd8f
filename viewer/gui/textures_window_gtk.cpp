// SPDX-License-Identifier: MIT
// The textures window's list (a GtkTreeView over a two-column GtkListStore: line text, texture
// index) and its commands.
#include "viewer/gui/textures_window.h"

#include <gtk/gtk.h>

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

enum list_column { column_text = 0, column_index = 1 };

constexpr file_filter texture_filters[] = {
    {"All supported image files", "*.bmp;*.tga"},
    {"Bitmap files", "*.bmp"},
    {"Targa files", "*.tga"},
    {"All files", "*.*"},
};

GtkListStore *list_store(GtkWidget *list) {
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(list));
    return model && GTK_IS_LIST_STORE(model) ? GTK_LIST_STORE(model) : nullptr;
}

int list_length(GtkWidget *list) {
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(list));
    return model ? gtk_tree_model_iter_n_children(model, nullptr) : 0;
}

// The texture indices of the selected lines in list order, at most limit of them.
std::vector<uint32_t> selected_indices(GtkWidget *list, uint32_t limit) {
    std::vector<uint32_t> indices;
    GtkTreeSelection *selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
    GtkTreeModel *model = nullptr;
    GList *rows = gtk_tree_selection_get_selected_rows(selection, &model);
    for (GList *row = rows; row && indices.size() < limit; row = row->next) {
        GtkTreeIter iter;
        if (!gtk_tree_model_get_iter(model, &iter, static_cast<GtkTreePath *>(row->data))) continue;
        guint index = 0;
        gtk_tree_model_get(model, &iter, column_index, &index, -1);
        indices.push_back(index);
    }
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return indices;
}

int count_selected(GtkWidget *list) {
    return gtk_tree_selection_count_selected_rows(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)));
}

// The checks shared by "Replace textures" and "Show only &selected"; the list box, or null
// after the failing check has reported.
GtkWidget *usable_list(const tkm_mesh *mesh, const char *nothing_selected) {
    if (!mesh) {
        real_meow("No mesh loaded!\n");
        return nullptr;
    }
    GtkWidget *list = get_texture_list_box();
    if (!list) return nullptr;
    if (list_length(list) == 0) {
        real_meow("No textures loaded!\n");
        return nullptr;
    }
    if (count_selected(list) == 0) {
        real_meow("%s", nothing_selected);
        return nullptr;
    }
    return list;
}

} // namespace

native_window get_texture_list_box() {
    GtkWidget *list = get_dlg_item(app_state.textures_window, textures_list_box);
    if (!list || !GTK_IS_TREE_VIEW(list) || !list_store(list)) {
        real_meow("Can't get listbox handle: %d!\n", ENOENT);
        return nullptr;
    }
    return list;
}

void gui_generate_textures_list(const tkm_mesh *mesh, int32_t count, const uint32_t *selection) {
    if (!mesh || !app_state.textures_window) return;
    GtkWidget *list = get_texture_list_box();
    if (!list) return;
    GtkListStore *store = list_store(list);
    gtk_list_store_clear(store);
    for (const texture_list_line &line : texture_list_lines(mesh)) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        gtk_list_store_set(store, &iter, column_text, line.text.c_str(), column_index, line.index,
                           -1);
    }
    if (count < 1 || !selection) return;
    GtkTreeSelection *chosen = gtk_tree_view_get_selection(GTK_TREE_VIEW(list));
    int rows = list_length(list);
    for (int32_t i = 0; i < count; i++) {
        int row = static_cast<int>(selection[i] & 0xFFFF);
        if (row >= rows) continue;
        GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
        gtk_tree_selection_select_path(chosen, path);
        gtk_tree_path_free(path);
    }
}

void reload_listed_textures(tkm_mesh *mesh) {
    if (!mesh) return;
    const bool listed = mesh == app_state.mesh && app_state.textures_window;
    GtkWidget *list = listed ? get_texture_list_box() : nullptr;
    std::vector<uint32_t> selected;
    if (list) selected = selected_indices(list, mesh->num_texture_names);
    reload_textures(mesh);
    if (list)
        gui_generate_textures_list(mesh, static_cast<int32_t>(selected.size()), selected.data());
}

void browse_for_texture() {
    if (!choose_file(nullptr, texture_filters, "Choose a new texture",
                     app_state.texture_directory.c_str(), &app_state.texture_filter_index))
        return;
    app_state.texture_directory = chosen_directory();
    GtkWidget *entry = get_dlg_item(app_state.textures_window, textures_replacement_field);
    if (!entry || !GTK_IS_ENTRY(entry)) {
        real_meow("Can't set edit box to new texture name: %d!\n", ENOENT);
        return;
    }
    gtk_entry_set_text(GTK_ENTRY(entry), app_state.chosen_path);
}

void replace_textures(tkm_mesh *mesh) {
    GtkWidget *list = usable_list(mesh, "No textures selected for replacement!\n");
    if (!list) return;
    std::string replacement =
        get_dlg_item_text(app_state.textures_window, textures_replacement_field);
    if (replacement.empty()) {
        real_meow("No replacement texture name!\n");
        return;
    }
    std::vector<uint32_t> indices = selected_indices(list, mesh->num_texture_names);
    if (indices.empty()) {
        real_meow("Can't get selected items: %d!\n", ENOENT);
        return;
    }
    replace_texture_paths(mesh, indices, replacement.c_str());
    reload_textures(mesh);
    gui_generate_textures_list(mesh, static_cast<int32_t>(indices.size()), indices.data());
}

void show_only_selected(tkm_mesh *mesh) {
    GtkWidget *list = usable_list(mesh, "No textures selected to show!\n");
    if (!list) return;
    std::vector<uint32_t> indices = selected_indices(list, mesh->num_texture_names);
    if (indices.empty()) {
        real_meow("Can't get selected items: %d!\n", ENOENT);
        return;
    }
    show_only_textures(mesh, indices);
}
