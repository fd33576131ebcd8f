// SPDX-License-Identifier: MIT
// The chooser's dialog on Linux: GtkFileChooserDialog, shown without an owner and waited for in
// GTK's loop so the tool windows stay usable.
//
// Sections: pattern translation | GTK dialog
#include "viewer/gui/file_chooser_dialog.h"

#include <gtk/gtk.h>

#include <cctype>
#include <string>

#include "viewer/app/app_state.h"
#include "viewer/gui/gui_loop.h"

namespace {

// ---- pattern translation

// GTK globs are case-sensitive while the filters are meant to be case-blind: "*.tkm" becomes
// "*.[tT][kK][mM]". "*.*" is the "every file" idiom and matches names without a dot too.
std::string case_blind_pattern(const std::string &pattern) {
    if (pattern == "*.*") return "*";
    std::string out;
    for (char c : pattern) {
        unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
            out += '[';
            out += static_cast<char>(std::tolower(u));
            out += static_cast<char>(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

// ---- GTK dialog

struct dialog_wait {
    int save = 0;
    int done = 0;
    int response = GTK_RESPONSE_CANCEL;
};

// What stands in the way of an accepted name, as Windows' chooser says it: an open chooser's file
// must exist, a save chooser's folder must; null when nothing does.
const char *missing_part(const char *path, int save) {
    if (!save) return g_file_test(path, G_FILE_TEST_EXISTS) ? nullptr : "File not found.";
    gchar *folder = g_path_get_dirname(path);
    const bool exists = g_file_test(folder, G_FILE_TEST_IS_DIR);
    g_free(folder);
    return exists ? nullptr : "Path does not exist.";
}

// 1 when the accepted name may be answered; otherwise the user is told why over the chooser,
// which stays open for another name.
int answer_may_stand(GtkDialog *dialog, int save) {
    char *path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
    if (!path) return 1; // no name at all counts as a cancel further on
    const char *missing = missing_part(path, save);
    if (missing) {
        gchar *name = g_path_get_basename(path);
        GtkWidget *notice = gtk_message_dialog_new(
            GTK_WINDOW(dialog), GTK_DIALOG_MODAL, GTK_MESSAGE_WARNING, GTK_BUTTONS_OK,
            "%s\n%s\nCheck the %s and try again.", name, missing, save ? "path" : "file name");
        gtk_window_set_title(GTK_WINDOW(notice), gtk_window_get_title(GTK_WINDOW(dialog)));
        gtk_dialog_run(GTK_DIALOG(notice));
        gtk_widget_destroy(notice);
        g_free(name);
    }
    g_free(path);
    return missing ? 0 : 1;
}

void on_response(GtkDialog *dialog, gint response, gpointer data) {
    auto *wait = static_cast<dialog_wait *>(data);
    if (response == GTK_RESPONSE_ACCEPT && !answer_may_stand(dialog, wait->save)) return;
    wait->response = response;
    wait->done = 1;
}

// Escape and the close box end in a delete event, after which GtkDialog would destroy the chooser
// before its filter could be read back: it is answered as a cancel here and kept until then.
gboolean on_delete(GtkWidget *, GdkEvent *, gpointer data) {
    auto *wait = static_cast<dialog_wait *>(data);
    wait->response = GTK_RESPONSE_DELETE_EVENT;
    wait->done = 1;
    return TRUE;
}

// Without a window manager the chooser opens over the whole screen; keep it a usable size.
void on_map(GtkWidget *dialog, gpointer) {
    gtk_window_resize(GTK_WINDOW(dialog), 760, 520);
}

} // namespace

chooser_reply run_chooser_dialog(const chooser_request &request) {
    chooser_reply reply;
    reply.filter_index = request.filter_index;
    if (!gui_available()) return reply;

    GtkFileChooserAction action =
        request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN;
    // No parent window: the tool windows must stay usable while the chooser is shown.
    GtkWidget *dialog =
        gtk_file_chooser_dialog_new(request.title, nullptr, action, "_Cancel", GTK_RESPONSE_CANCEL,
                                    request.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser *chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);

    for (const file_filter &entry : request.filters) {
        GtkFileFilter *filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, entry.description);
        std::string patterns = entry.patterns ? entry.patterns : "";
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos) end = patterns.size();
            std::string one = patterns.substr(start, end - start);
            if (!one.empty()) gtk_file_filter_add_pattern(filter, case_blind_pattern(one).c_str());
            start = end + 1;
        }
        gtk_file_chooser_add_filter(chooser, filter);
    }
    GSList *filters = gtk_file_chooser_list_filters(chooser);
    if (request.filter_index >= 1 && request.filter_index <= g_slist_length(filters))
        gtk_file_chooser_set_filter(
            chooser, GTK_FILE_FILTER(g_slist_nth_data(filters, request.filter_index - 1)));
    if (request.initial_directory && *request.initial_directory)
        gtk_file_chooser_set_current_folder(chooser, request.initial_directory);

    dialog_wait wait;
    wait.save = request.save;
    g_signal_connect(dialog, "response", G_CALLBACK(on_response), &wait);
    g_signal_connect(dialog, "delete-event", G_CALLBACK(on_delete), &wait);
    g_signal_connect_after(dialog, "map", G_CALLBACK(on_map), nullptr);
    gtk_window_present(GTK_WINDOW(dialog));
    // Not gtk_dialog_run: that would make the chooser modal for the whole application. A quit
    // (a signal, the exit picture) cancels it, so the program can end in order.
    while (!wait.done && !app_state.quit_requested)
        gtk_main_iteration();

    int position = g_slist_index(filters, gtk_file_chooser_get_filter(chooser));
    if (position >= 0) reply.filter_index = static_cast<uint32_t>(position) + 1;
    g_slist_free(filters);

    if (wait.response == GTK_RESPONSE_ACCEPT) {
        if (char *name = gtk_file_chooser_get_filename(chooser)) {
            reply.accepted = 1;
            reply.path = name;
            g_free(name);
        }
    }
    gtk_widget_destroy(dialog);
    pump_gui_events();
    return reply;
}
