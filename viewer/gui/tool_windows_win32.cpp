// SPDX-License-Identifier: MIT
// The tool windows as Win32 dialogs from the templates in tool_windows_win32.rc: modeless, owned
// by the OpenGL window (the menu) or the window they were opened from, their keyboard messages
// taken from the one message loop by IsDialogMessageW. What their controls do is
// tool_windows.cpp's.
//
// Sections: templates | the menu's pictures | dialog procedure | placing | public operations
#include "viewer/gui/tool_window_system.h"

#include <windows.h>

#include <algorithm>
#include <span>

#include "support/messages.h"
#include "viewer/app/app_state.h"
#include "viewer/render/draw.h"
#include "viewer/window/window.h"
#include "viewer/window/window_win32.h"

namespace {

// ---- templates

constexpr WORD templates[num_tool_window_kinds] = {101, 112, 115, 102};

HINSTANCE module() {
    return GetModuleHandleW(nullptr);
}

HWND hwnd_of(native_window window) {
    return static_cast<HWND>(window);
}

// ---- the menu's pictures

// The menu's bitmaps, in menu_pictures' order; null where one did not load. The menu window
// exists once and for the rest of the run, so they are loaded once with it.
HBITMAP picture_bitmaps[4] = {};

void load_menu_pictures() {
    size_t count = 0;
    const menu_picture *pictures = menu_pictures(&count);
    for (size_t i = 0; i < count && i < std::size(picture_bitmaps); i++) {
        if (picture_bitmaps[i]) continue;
        picture_bitmaps[i] = LoadBitmapW(module(), MAKEINTRESOURCEW(pictures[i].resource_id));
        if (!picture_bitmaps[i]) real_meow(pictures[i].failure, static_cast<int>(GetLastError()));
    }
}

// Each bitmap unscaled at the top-left corner of its control, in the menu's client co-ordinates.
void paint_menu_pictures(HWND menu) {
    PAINTSTRUCT paint;
    HDC device = BeginPaint(menu, &paint);
    size_t count = 0;
    const menu_picture *pictures = menu_pictures(&count);
    for (size_t i = 0; i < count && i < std::size(picture_bitmaps); i++) {
        HWND control = GetDlgItem(menu, pictures[i].control);
        if (!picture_bitmaps[i] || !control) continue;
        POINT origin{0, 0};
        MapWindowPoints(control, menu, &origin, 1);
        DrawStateW(device, nullptr, nullptr, reinterpret_cast<LPARAM>(picture_bitmaps[i]), 0,
                   origin.x, origin.y, 0, 0, DST_BITMAP);
    }
    EndPaint(menu, &paint);
}

// A picture control of the menu: its statics draw nothing of their own over the picture.
bool is_picture_control(HWND menu, HWND control) {
    size_t count = 0;
    const menu_picture *pictures = menu_pictures(&count);
    for (const menu_picture &picture : std::span(pictures, count))
        if (GetDlgItem(menu, picture.control) == control) return true;
    return false;
}

// ---- dialog procedure

tool_window_kind kind_of(HWND dialog) {
    return static_cast<tool_window_kind>(GetWindowLongPtrW(dialog, DWLP_USER));
}

// Gives Tab, the arrow keys and the access keys of every open tool window their dialog meaning.
bool dialog_message(MSG *message) {
    for (int kind = 0; kind < num_tool_window_kinds; kind++) {
        HWND dialog = hwnd_of(*tool_window_handle(static_cast<tool_window_kind>(kind)));
        if (dialog && IsDialogMessageW(dialog, message)) return true;
    }
    return false;
}

INT_PTR CALLBACK dialog_procedure(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
    case WM_INITDIALOG: {
        SetWindowLongPtrW(dialog, DWLP_USER, lparam);
        if (static_cast<tool_window_kind>(lparam) == tool_window_menu) load_menu_pictures();
        // The tool windows carry the program icon, as its other windows do.
        if (HICON icon = LoadIconW(module(), MAKEINTRESOURCEW(program_icon_resource)))
            SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
        return TRUE;
    }
    case WM_COMMAND:
        // Recognised by the control's id alone, whatever it notifies.
        run_tool_window_command(kind_of(dialog), LOWORD(wparam));
        return TRUE;
    case WM_PAINT:
        if (kind_of(dialog) != tool_window_menu) return FALSE;
        paint_menu_pictures(dialog);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        if (kind_of(dialog) != tool_window_menu ||
            !is_picture_control(dialog, reinterpret_cast<HWND>(lparam)))
            return FALSE;
        SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    case WM_CLOSE:
        // The menu lives as long as the program: Alt+F4 on it is refused, as it has no close box.
        if (kind_of(dialog) != tool_window_menu) DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY: {
        // However the window goes (its close box, or the window that owns it going first), its
        // handle must not outlive it: a stale one would keep a new window of its kind from opening.
        native_window *handle = tool_window_handle(kind_of(dialog));
        if (*handle == dialog) *handle = nullptr;
        return TRUE;
    }
    case WM_MOVE:
        // The view stays whole while a tool window is dragged across it.
        if (app_state.window) draw_frame();
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- placing

RECT window_rect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

// Where a new tool window goes: the menu beside the OpenGL window, every other one below the
// lowest tool window open, so that none starts over the view or over another (a dialog starts
// at its owner's corner otherwise). Kept inside the desktop's work area.
void place_new_window(HWND dialog, tool_window_kind kind) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const RECT own = window_rect(dialog);
    const LONG width = own.right - own.left, height = own.bottom - own.top;
    POINT at{own.left, own.top};
    if (kind == tool_window_menu) {
        HWND gl_window = reinterpret_cast<HWND>(window_owner_handle(app_state.window));
        if (!gl_window) return;
        const RECT view = window_rect(gl_window);
        at = {view.right, view.top};
    } else {
        HWND menu = hwnd_of(app_state.menu_window);
        if (!menu) return;
        const RECT menu_rect = window_rect(menu);
        at = {menu_rect.left, menu_rect.bottom};
        for (int other = tool_window_mesh; other < num_tool_window_kinds; other++) {
            HWND open = hwnd_of(*tool_window_handle(static_cast<tool_window_kind>(other)));
            if (open && open != dialog) at.y = std::max(at.y, window_rect(open).bottom);
        }
    }
    at.x = std::max(area.left, std::min(at.x, area.right - width));
    at.y = std::max(area.top, std::min(at.y, area.bottom - height));
    SetWindowPos(dialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

// ---- public operations

void *tool_window_resources() {
    return module();
}

native_window build_tool_window(tool_window_kind kind, native_window parent, int *error_code) {
    *error_code = 0;
    HWND owner = kind == tool_window_menu
                     ? reinterpret_cast<HWND>(window_owner_handle(app_state.window))
                     : hwnd_of(parent);
    set_window_dialog_filter(dialog_message);
    HWND dialog = CreateDialogParamW(module(), MAKEINTRESOURCEW(templates[kind]), owner,
                                     dialog_procedure, static_cast<LPARAM>(kind));
    if (!dialog) {
        *error_code = static_cast<int>(GetLastError());
        return nullptr;
    }
    place_new_window(dialog, kind);
    return dialog;
}

void show_tool_window(native_window window) {
    ShowWindow(hwnd_of(window), SW_SHOW);
}

void set_program_icon() {
    HICON icon = LoadIconW(module(), MAKEINTRESOURCEW(program_icon_resource));
    HWND gl_window = reinterpret_cast<HWND>(window_owner_handle(app_state.window));
    if (!icon) {
        real_meow("Program icon not loaded: %d!\n", static_cast<int>(GetLastError()));
        return;
    }
    if (gl_window) SetClassLongPtrW(gl_window, GCLP_HICON, reinterpret_cast<LONG_PTR>(icon));
}
