// SPDX-License-Identifier: MIT
// Dialog-item access over Win32 dialogs, and the system's notice (MessageBoxW), with the wide
// strings turned into the UTF-8 the viewer keeps inside.
#include "viewer/gui/dialog.h"

#include <windows.h>

#include <iterator>
#include <string>
#include <vector>

#include "viewer/files/wide_text_win32.h"

namespace {

HWND dialog_of(native_window window) {
    return static_cast<HWND>(window);
}

// 1 when item is a window of the system class name (compared without regard to case).
int is_of_class(native_window item, const wchar_t *name) {
    wchar_t found[32];
    return item && GetClassNameW(dialog_of(item), found, static_cast<int>(std::size(found))) &&
           lstrcmpiW(found, name) == 0;
}

LRESULT send(native_window list, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return list ? SendMessageW(dialog_of(list), message, wparam, lparam) : 0;
}

} // namespace

void attach_dialog_builder(native_window, void *) {
    // A dialog from a template finds its controls by id: it needs no builder.
}

native_window get_dlg_item(native_window window, int id) {
    return window ? GetDlgItem(dialog_of(window), id) : nullptr;
}

void set_dlg_item_text(native_window window, int id, const char *text) {
    if (window) SetDlgItemTextW(dialog_of(window), id, wide_text(text ? text : "").c_str());
}

void set_dlg_item_int(native_window window, int id, int value) {
    set_dlg_item_text(window, id, std::to_string(value).c_str());
}

const char *get_dlg_item_text(native_window window, int id) {
    static std::string text;
    text.clear();
    HWND item = window ? GetDlgItem(dialog_of(window), id) : nullptr;
    if (!item) return "";
    std::wstring wide(static_cast<size_t>(GetWindowTextLengthW(item)) + 1, L'\0');
    GetWindowTextW(item, wide.data(), static_cast<int>(wide.size()));
    text = utf8_text(wide.c_str());
    return text.c_str();
}

void check_dlg_button(native_window window, int id, int checked) {
    if (window) CheckDlgButton(dialog_of(window), id, checked ? BST_CHECKED : BST_UNCHECKED);
}

int is_dlg_button_checked(native_window window, int id) {
    return window && IsDlgButtonChecked(dialog_of(window), id) == BST_CHECKED;
}

int is_list_box(native_window item) {
    return is_of_class(item, L"ListBox");
}

void clear_list_box(native_window list) {
    send(list, LB_RESETCONTENT);
}

void add_list_box_line(native_window list, const char *text, uint32_t number) {
    if (!list) return;
    const LRESULT row =
        send(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide_text(text ? text : "").c_str()));
    if (row >= 0) send(list, LB_SETITEMDATA, static_cast<WPARAM>(row), number);
}

int list_box_length(native_window list) {
    const LRESULT length = send(list, LB_GETCOUNT);
    return length > 0 ? static_cast<int>(length) : 0;
}

int list_box_selected_count(native_window list) {
    const LRESULT count = send(list, LB_GETSELCOUNT);
    return count > 0 ? static_cast<int>(count) : 0;
}

std::vector<uint32_t> list_box_selected_numbers(native_window list, uint32_t limit) {
    std::vector<int> rows(static_cast<size_t>(list_box_selected_count(list)));
    const LRESULT got = rows.empty() ? 0
                                     : send(list, LB_GETSELITEMS, rows.size(),
                                            reinterpret_cast<LPARAM>(rows.data()));
    std::vector<uint32_t> numbers;
    for (LRESULT i = 0; i < got && numbers.size() < limit; i++) {
        const LRESULT number = send(list, LB_GETITEMDATA, static_cast<WPARAM>(rows[i]));
        if (number != LB_ERR) numbers.push_back(static_cast<uint32_t>(number));
    }
    return numbers;
}

void select_list_box_line(native_window list, int row) {
    if (row >= 0 && row < list_box_length(list))
        send(list, LB_SETSEL, TRUE, static_cast<LPARAM>(row));
}

int is_edit_box(native_window item) {
    return is_of_class(item, L"Edit");
}

void show_system_message_box(const char *text, const char *caption) {
    // Owned by no window, with the exclamation, as the notice of a failed save has always been.
    MessageBoxW(nullptr, wide_text(text).c_str(), wide_text(caption).c_str(),
                MB_OK | MB_ICONEXCLAMATION);
}
