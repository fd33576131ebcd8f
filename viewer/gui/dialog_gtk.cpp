// SPDX-License-Identifier: MIT
// Dialog-item access over GtkBuilder windows, and GTK's notice.
#include "viewer/gui/dialog.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "viewer/app/app_state.h"
#include "viewer/gui/gui_loop.h"

void attach_dialog_builder(native_window window, void *builder) {
    g_object_set_data_full(G_OBJECT(window), dialog_builder_key, builder, g_object_unref);
}

native_window get_dlg_item(native_window window, int id) {
    if (!window) return nullptr;
    auto *builder =
        static_cast<GtkBuilder *>(g_object_get_data(G_OBJECT(window), dialog_builder_key));
    if (!builder) return nullptr;
    std::string name = "c" + std::to_string(id);
    GObject *object = gtk_builder_get_object(builder, name.c_str());
    return object && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

void set_dlg_item_text(native_window window, int id, const char *text) {
    GtkWidget *item = get_dlg_item(window, id);
    if (!item) return;
    if (!text) text = "";
    if (GTK_IS_LABEL(item))
        gtk_label_set_text(GTK_LABEL(item), text);
    else if (GTK_IS_ENTRY(item))
        gtk_entry_set_text(GTK_ENTRY(item), text);
    else if (GTK_IS_BUTTON(item))
        gtk_button_set_label(GTK_BUTTON(item), text);
}

void set_dlg_item_int(native_window window, int id, int value) {
    set_dlg_item_text(window, id, std::to_string(value).c_str());
}

const char *get_dlg_item_text(native_window window, int id) {
    GtkWidget *item = get_dlg_item(window, id);
    const char *text = nullptr;
    if (!item) return "";
    if (GTK_IS_LABEL(item))
        text = gtk_label_get_text(GTK_LABEL(item));
    else if (GTK_IS_ENTRY(item))
        text = gtk_entry_get_text(GTK_ENTRY(item));
    else if (GTK_IS_BUTTON(item))
        text = gtk_button_get_label(GTK_BUTTON(item));
    return text ? text : "";
}

void check_dlg_button(native_window window, int id, int checked) {
    GtkWidget *item = get_dlg_item(window, id);
    if (item && GTK_IS_TOGGLE_BUTTON(item))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(item), checked != 0);
}

int is_dlg_button_checked(native_window window, int id) {
    GtkWidget *item = get_dlg_item(window, id);
    return item && GTK_IS_TOGGLE_BUTTON(item) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(item));
}

// A list box is a tree view over a two-column list store: the line's text, the caller's number.
namespace {
enum list_column { column_text = 0, column_number = 1 };

GtkListStore *list_store(native_window list) {
    GtkWidget *view = list;
    if (!view || !GTK_IS_TREE_VIEW(view)) return nullptr;
    GtkTreeModel *model = gtk_tree_view_get_model(GTK_TREE_VIEW(view));
    return model && GTK_IS_LIST_STORE(model) ? GTK_LIST_STORE(model) : nullptr;
}

GtkTreeSelection *list_selection(native_window list) {
    GtkWidget *view = list;
    return list_store(list) ? gtk_tree_view_get_selection(GTK_TREE_VIEW(view)) : nullptr;
}
} // namespace

int is_list_box(native_window item) {
    return list_store(item) != nullptr;
}

void clear_list_box(native_window list) {
    if (GtkListStore *store = list_store(list)) gtk_list_store_clear(store);
}

void add_list_box_line(native_window list, const char *text, uint32_t number) {
    GtkListStore *store = list_store(list);
    if (!store) return;
    GtkTreeIter iter;
    gtk_list_store_append(store, &iter);
    gtk_list_store_set(store, &iter, column_text, text, column_number, number, -1);
}

int list_box_length(native_window list) {
    GtkListStore *store = list_store(list);
    return store ? gtk_tree_model_iter_n_children(GTK_TREE_MODEL(store), nullptr) : 0;
}

int list_box_selected_count(native_window list) {
    GtkTreeSelection *selection = list_selection(list);
    return selection ? gtk_tree_selection_count_selected_rows(selection) : 0;
}

std::vector<uint32_t> list_box_selected_numbers(native_window list, uint32_t limit) {
    std::vector<uint32_t> numbers;
    GtkTreeSelection *selection = list_selection(list);
    if (!selection) return numbers;
    GtkTreeModel *model = nullptr;
    GList *rows = gtk_tree_selection_get_selected_rows(selection, &model);
    for (GList *row = rows; row && numbers.size() < limit; row = row->next) {
        GtkTreeIter iter;
        if (!gtk_tree_model_get_iter(model, &iter, static_cast<GtkTreePath *>(row->data))) continue;
        guint number = 0;
        gtk_tree_model_get(model, &iter, column_number, &number, -1);
        numbers.push_back(number);
    }
    g_list_free_full(rows, reinterpret_cast<GDestroyNotify>(gtk_tree_path_free));
    return numbers;
}

void select_list_box_line(native_window list, int row) {
    GtkTreeSelection *selection = list_selection(list);
    if (!selection || row < 0 || row >= list_box_length(list)) return;
    GtkTreePath *path = gtk_tree_path_new_from_indices(row, -1);
    gtk_tree_selection_select_path(selection, path);
    gtk_tree_path_free(path);
}

int is_edit_box(native_window item) {
    GtkWidget *widget = item;
    return widget && GTK_IS_ENTRY(widget);
}

void show_system_message_box(const char *text, const char *caption) {
    if (!gui_available()) {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        return;
    }
    // The exclamation of the original notice is GTK's warning icon.
    GtkWidget *box = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING,
                                            GTK_BUTTONS_OK, "%s", text);
    gtk_window_set_title(GTK_WINDOW(box), caption);
    int answered = 0;
    g_signal_connect(box, "response", G_CALLBACK(+[](GtkDialog *, gint, gpointer done) {
                         *static_cast<int *>(done) = 1;
                     }),
                     &answered);
    gtk_window_present(GTK_WINDOW(box));
    // gtk_dialog_run would wait through a quit signal: the program must end in order instead.
    while (!answered && !app_state.quit_requested)
        gtk_main_iteration();
    gtk_widget_destroy(box);
}
