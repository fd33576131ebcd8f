// SPDX-License-Identifier: MIT
// Dialog-item access to the tool windows: each control is found by its numeric id, as the
// commands that fill the windows address them (labels, edits, buttons, check boxes).
#pragma once

typedef struct _GtkWidget GtkWidget;

// Convention: a tool window built from a template keeps its GtkBuilder under this key, and the
// template names each control with an id "c" followed by its number ("c1007").
inline constexpr const char *dialog_builder_key = "tarvik-builder";

// Attaches builder (a GtkBuilder, reference taken over) to window for the calls below.
void attach_dialog_builder(GtkWidget *window, void *builder);
// The control id of window, or null (also for a null window).
GtkWidget *get_dlg_item(GtkWidget *window, int id);
// Sets the text of a label, entry or button; nothing for a null window or unknown id.
void set_dlg_item_text(GtkWidget *window, int id, const char *text);
// set_dlg_item_text with value as a signed decimal.
void set_dlg_item_int(GtkWidget *window, int id, int value);
// The control's text (label, entry or button), or "" when there is none. Owned by GTK.
const char *get_dlg_item_text(GtkWidget *window, int id);
// Checks (non-zero) or clears a check box or toggle button.
void check_dlg_button(GtkWidget *window, int id, int checked);
// 1 when the check box or toggle button is checked.
int is_dlg_button_checked(GtkWidget *window, int id);
// Modal notice with an OK button and the warning icon, owned by no window; returns when the
// user closes it. Without GTK the notice goes to standard error instead of being lost.
void show_message_box(const char *text, const char *caption);

// The system's own notice behind show_message_box (text and caption never null).
void show_system_message_box(const char *text, const char *caption);

// ---- test seam: answers in place of the modal notice
using message_box_fn = void (*)(const char *text, const char *caption);
// Replaces the notice with box (null restores the GTK notice). For tests only.
void set_message_box_hook(message_box_fn box);
