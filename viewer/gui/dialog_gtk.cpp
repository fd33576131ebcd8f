// SPDX-License-Identifier: MIT
// Dialog-item access over GtkBuilder windows, and GTK's notice.
#include "viewer/gui/dialog.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <string>

#include "viewer/app/app_state.h"
#include "viewer/gui/gui_loop.h"

void attach_dialog_builder(GtkWidget *window, void *builder) {
    g_object_set_data_full(G_OBJECT(window), dialog_builder_key, builder, g_object_unref);
}

GtkWidget *get_dlg_item(GtkWidget *window, int id) {
    if (!window) return nullptr;
    auto *builder =
        static_cast<GtkBuilder *>(g_object_get_data(G_OBJECT(window), dialog_builder_key));
    if (!builder) return nullptr;
    std::string name = "c" + std::to_string(id);
    GObject *object = gtk_builder_get_object(builder, name.c_str());
    return object && GTK_IS_WIDGET(object) ? GTK_WIDGET(object) : nullptr;
}

void set_dlg_item_text(GtkWidget *window, int id, const char *text) {
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

void set_dlg_item_int(GtkWidget *window, int id, int value) {
    set_dlg_item_text(window, id, std::to_string(value).c_str());
}

const char *get_dlg_item_text(GtkWidget *window, int id) {
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

void check_dlg_button(GtkWidget *window, int id, int checked) {
    GtkWidget *item = get_dlg_item(window, id);
    if (item && GTK_IS_TOGGLE_BUTTON(item))
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(item), checked != 0);
}

int is_dlg_button_checked(GtkWidget *window, int id) {
    GtkWidget *item = get_dlg_item(window, id);
    return item && GTK_IS_TOGGLE_BUTTON(item) &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(item));
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
