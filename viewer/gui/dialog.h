// SPDX-License-Identifier: MIT
// Dialog-item access to the tool windows: each control is found by its numeric id, as the
// commands that fill the windows address them (labels, edits, buttons, check boxes).
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/window/window.h"

// Under GTK a tool window built from a template keeps its GtkBuilder under this key, and the
// template names each control with an id "c" followed by its number ("c1007").
inline constexpr const char *dialog_builder_key = "tarvik-builder";

// Attaches builder (a GtkBuilder, reference taken over) to window for the calls below.
void attach_dialog_builder(native_window window, void *builder);
// The control id of window, or null (also for a null window).
native_window get_dlg_item(native_window window, int id);
// Sets the text of a label, entry or button; nothing for a null window or unknown id.
void set_dlg_item_text(native_window window, int id, const char *text);
// set_dlg_item_text with value as a signed decimal.
void set_dlg_item_int(native_window window, int id, int value);
// The control's text (label, entry or button), or "" when there is none. Owned by the
// toolkit, good until the next call.
const char *get_dlg_item_text(native_window window, int id);
// Checks (non-zero) or clears a check box or toggle button.
void check_dlg_button(native_window window, int id, int checked);
// 1 when the check box or toggle button is checked.
int is_dlg_button_checked(native_window window, int id);
// A list box of several selectable lines, each line carrying a number of the caller's (the
// texture's index). list is a list box as get_dlg_item found it; a null list does nothing.
// 1 when item is a list box of this kind.
int is_list_box(native_window item);
void clear_list_box(native_window list);
void add_list_box_line(native_window list, const char *text, uint32_t number);
int list_box_length(native_window list);
int list_box_selected_count(native_window list);
// The numbers of the selected lines in list order, at most limit of them.
std::vector<uint32_t> list_box_selected_numbers(native_window list, uint32_t limit);
// Adds line row (from 0) to the selection; nothing past the end.
void select_list_box_line(native_window list, int row);
// 1 when item is an edit box, its text the user's to read.
int is_edit_box(native_window item);

// Modal notice with an OK button and the warning icon, owned by no window; returns when the
// user closes it. Without GTK the notice goes to standard error instead of being lost.
void show_message_box(const char *text, const char *caption);

// The system's own notice behind show_message_box (text and caption never null).
void show_system_message_box(const char *text, const char *caption);

// ---- test seam: answers in place of the modal notice
using message_box_fn = void (*)(const char *text, const char *caption);
// Replaces the notice with box (null restores the GTK notice). For tests only.
void set_message_box_hook(message_box_fn box);
