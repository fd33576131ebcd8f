// SPDX-License-Identifier: MIT
// Dialog-item access over Win32 dialogs, and the system's notice (MessageBoxW), with the wide
// strings turned into the UTF-8 the viewer keeps inside.
#include "viewer/gui/dialog.h"

#include <windows.h>

#include <string>

#include "viewer/window/wide_text_win32.h"

namespace {

HWND dialog_of(GtkWidget *window) {
    return reinterpret_cast<HWND>(window);
}

} // namespace

void attach_dialog_builder(GtkWidget *, void *) {
    // A dialog from a template finds its controls by id: it needs no builder.
}

GtkWidget *get_dlg_item(GtkWidget *window, int id) {
    return window ? reinterpret_cast<GtkWidget *>(GetDlgItem(dialog_of(window), id)) : nullptr;
}

void set_dlg_item_text(GtkWidget *window, int id, const char *text) {
    if (window) SetDlgItemTextW(dialog_of(window), id, wide_text(text ? text : "").c_str());
}

void set_dlg_item_int(GtkWidget *window, int id, int value) {
    set_dlg_item_text(window, id, std::to_string(value).c_str());
}

const char *get_dlg_item_text(GtkWidget *window, int id) {
    static std::string text;
    text.clear();
    HWND item = window ? GetDlgItem(dialog_of(window), id) : nullptr;
    if (!item) return "";
    std::wstring wide(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    GetWindowTextW(item, wide.data(), static_cast<int>(wide.size()));
    text = utf8_text(wide.c_str());
    return text.c_str();
}

void check_dlg_button(GtkWidget *window, int id, int checked) {
    if (window) CheckDlgButton(dialog_of(window), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

int is_dlg_button_checked(GtkWidget *window, int id) {
    return window && IsDlgButtonChecked(dialog_of(window), id) == BST_CHECKED;
}

void show_system_message_box(const char *text, const char *caption) {
    // Owned by no window, with the exclamation, as the notice of a failed save has always been.
    MessageBoxW(nullptr, wide_text(text).c_str(), wide_text(caption).c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}
