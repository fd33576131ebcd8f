// SPDX-License-Identifier: MIT
// The OpenGL window on Windows: a window class with the program icon, a WGL context on a pixel
// format with the asked depth buffer and double buffering, the window's messages as the viewer's
// event records, key repeats made here as SDL 1.2 makes them, the wait in
// MsgWaitForMultipleObjects, a timer-queue timer for the animation and the joysticks of winmm.
#include "viewer/window/window.h"

#include <windows.h>
#include <mmsystem.h>

#include <GL/gl.h>

#include <algorithm>
#include <deque>
#include <new>
#include <string>

#include "viewer/files/wide_text_win32.h"
#include "viewer/window/window_win32.h"

struct window_handle {
    HWND window = nullptr;
    HDC device = nullptr;
    HGLRC context = nullptr;
    HICON icon = nullptr; // made from window_icon, destroyed with the window
    int32_t bits_per_pixel = 0;
    int32_t width = 0;
    int32_t height = 0;
};

struct window_joystick {
    UINT id = 0;
};

namespace {

constexpr wchar_t class_name[] = L"TarvikViewerWindow";
// The program icon's resource id in the executable's resources.
constexpr WORD program_icon_id = 105; // the resource the tool windows set as the class icon too

HINSTANCE instance = nullptr;
ATOM window_class = 0;
window_handle *open_window = nullptr;
std::deque<window_event> pending;
// Set by window_wake from any thread, waited on together with the message queue.
HANDLE wake_event = nullptr;

// ---- key repeats: the system's own are dropped, and the viewer's made as SDL 1.2 makes them

int32_t repeat_delay_ms = 0;
int32_t repeat_interval_ms = 0;
window_event repeat_key{};  // the last key pressed while it is held
DWORD repeat_timestamp = 0; // 0: no key to repeat
bool repeat_first = true;   // the delay has not passed yet

void start_repeat(const window_event &event) {
    if (repeat_interval_ms <= 0) return;
    repeat_key = event;
    repeat_timestamp = GetTickCount();
    if (repeat_timestamp == 0) repeat_timestamp = 1;
    repeat_first = true;
}

void check_repeat() {
    if (!repeat_timestamp) return;
    const DWORD now = GetTickCount();
    const DWORD since = now - repeat_timestamp;
    if (repeat_first) {
        if (since > static_cast<DWORD>(repeat_delay_ms)) {
            repeat_timestamp = now ? now : 1;
            repeat_first = false;
        }
    } else if (since > static_cast<DWORD>(repeat_interval_ms)) {
        repeat_timestamp = now ? now : 1;
        pending.push_back(repeat_key);
    }
}

// ---- keys

struct key_row {
    WPARAM virtual_key;
    int32_t symbol;
};
// Letters and digits are their own rows below; these are the other keys the viewer knows.
constexpr key_row key_rows[] = {
    {VK_BACK, keysym_backspace},
    {VK_TAB, keysym_tab},
    {VK_RETURN, keysym_return},
    {VK_ESCAPE, keysym_escape},
    {VK_SPACE, keysym_space},
    {VK_DELETE, keysym_delete},
    {VK_UP, keysym_up},
    {VK_DOWN, keysym_down},
    {VK_RIGHT, keysym_right},
    {VK_LEFT, keysym_left},
    {VK_LSHIFT, keysym_left_shift},
    {VK_RSHIFT, keysym_right_shift},
    {VK_LCONTROL, keysym_left_ctrl},
    {VK_RCONTROL, keysym_right_ctrl},
    {VK_LMENU, keysym_left_alt},
    {VK_RMENU, keysym_right_alt},
};

// Windows names Shift, Ctrl and Alt without their side; the scan code and the extended bit tell.
WPARAM sided_key(WPARAM key, LPARAM flags) {
    const UINT scan = (static_cast<UINT>(flags) >> 16) & 0xFF;
    const bool extended = (flags >> 24) & 1;
    switch (key) {
    case VK_SHIFT:
        return MapVirtualKeyW(scan, MAPVK_VSC_TO_VK_EX);
    case VK_CONTROL:
        return extended ? VK_RCONTROL : VK_LCONTROL;
    case VK_MENU:
        return extended ? VK_RMENU : VK_LMENU;
    default:
        return key;
    }
}

int32_t key_symbol(WPARAM key) {
    if (key >= 'A' && key <= 'Z') return keysym_a + static_cast<int32_t>(key - 'A');
    if (key >= '0' && key <= '9') return keysym_0 + static_cast<int32_t>(key - '0');
    for (const key_row &row : key_rows)
        if (row.virtual_key == key) return row.symbol;
    return keysym_none;
}

uint32_t key_modifiers() {
    struct modifier_row {
        int virtual_key;
        uint32_t bit;
    };
    static constexpr modifier_row rows[] = {
        {VK_LSHIFT, key_mod_left_shift},  {VK_RSHIFT, key_mod_right_shift},
        {VK_LCONTROL, key_mod_left_ctrl}, {VK_RCONTROL, key_mod_right_ctrl},
        {VK_LMENU, key_mod_left_alt},     {VK_RMENU, key_mod_right_alt},
    };
    uint32_t modifiers = 0;
    for (const modifier_row &row : rows)
        if (GetKeyState(row.virtual_key) & 0x8000) modifiers |= row.bit;
    if (GetKeyState(VK_NUMLOCK) & 1) modifiers |= key_mod_num;
    if (GetKeyState(VK_CAPITAL) & 1) modifiers |= key_mod_caps;
    return modifiers;
}

void queue(const window_event &event) {
    pending.push_back(event);
}

void key_message(UINT message, WPARAM key, LPARAM flags) {
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    // The system's own repeats: the viewer's come at its own rate, from check_repeat.
    if (down && (flags & (1L << 30))) return;
    window_event event;
    event.type = down ? window_event_key_down : window_event_key_up;
    event.key.symbol = key_symbol(sided_key(key, flags));
    event.key.modifiers = key_modifiers();
    if (event.key.symbol == keysym_none) return;
    queue(event);
    if (down)
        start_repeat(event);
    else if (repeat_timestamp && repeat_key.key.symbol == event.key.symbol)
        repeat_timestamp = 0;
}

// ---- mouse

POINT last_mouse{};
bool mouse_seen = false;

uint8_t button_mask(WPARAM flags) {
    return static_cast<uint8_t>(((flags & MK_LBUTTON) ? mouse_mask_left : 0) |
                                ((flags & MK_MBUTTON) ? mouse_mask_middle : 0) |
                                ((flags & MK_RBUTTON) ? mouse_mask_right : 0));
}

void mouse_motion(WPARAM flags, LPARAM position) {
    const POINT at{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    window_event event;
    event.type = window_event_mouse_motion;
    event.motion.buttons = button_mask(flags);
    event.motion.x = at.x;
    event.motion.y = at.y;
    if (mouse_seen) {
        event.motion.dx = static_cast<int16_t>(at.x - last_mouse.x);
        event.motion.dy = static_cast<int16_t>(at.y - last_mouse.y);
    }
    last_mouse = at;
    mouse_seen = true;
    queue(event);
}

void mouse_button(HWND window, bool down, uint8_t button) {
    // Held buttons keep their motion while the pointer leaves the window, as on X11.
    if (down)
        SetCapture(window);
    else if (GetCapture() == window)
        ReleaseCapture();
    window_event event;
    event.type = down ? window_event_mouse_button_down : window_event_mouse_button_up;
    event.button = button;
    queue(event);
}

void activation(uint8_t state, uint8_t gain) {
    window_event event;
    event.type = window_event_active;
    event.active = {gain, state};
    queue(event);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP:
        key_message(message, w, l);
        // Alt alone would open the system menu and swallow the next key; Alt+F4 still closes.
        if ((message == WM_SYSKEYDOWN || message == WM_SYSKEYUP) && w != VK_F4) return 0;
        return DefWindowProcW(window, message, w, l);
    case WM_MOUSEMOVE:
        mouse_motion(w, l);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        mouse_button(window, message == WM_LBUTTONDOWN, mouse_left);
        return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
        mouse_button(window, message == WM_MBUTTONDOWN, mouse_middle);
        return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        mouse_button(window, message == WM_RBUTTONDOWN, mouse_right);
        return 0;
    case WM_MOUSEWHEEL: {
        // One notch, one press and release of the wheel's button, as X11 reports it.
        const uint8_t button = GET_WHEEL_DELTA_WPARAM(w) > 0 ? mouse_wheel_up : mouse_wheel_down;
        window_event event;
        event.button = button;
        event.type = window_event_mouse_button_down;
        queue(event);
        event.type = window_event_mouse_button_up;
        queue(event);
        return 0;
    }
    case WM_SETFOCUS:
        activation(window_input_focus, 1);
        return 0;
    case WM_KILLFOCUS:
        repeat_timestamp = 0;
        activation(window_input_focus, 0);
        return 0;
    case WM_SIZE:
        if (w == SIZE_MINIMIZED)
            activation(window_shown, 0);
        else if (w == SIZE_RESTORED || w == SIZE_MAXIMIZED)
            activation(window_shown, 1);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        window_event event;
        event.type = window_event_expose;
        queue(event);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1; // OpenGL draws every pixel
    case WM_CLOSE: {
        // The viewer ends in order; the window goes with window_close.
        window_event event;
        event.type = window_event_quit;
        queue(event);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, w, l);
    }
}

void (*timer_tick)() = nullptr;

void CALLBACK on_timer(PVOID, BOOLEAN) {
    if (timer_tick) timer_tick();
}

// ---- joysticks

bool joystick_present(UINT id) {
    JOYINFOEX info{};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    return joyGetPosEx(id, &info) == JOYERR_NOERROR;
}

// The id of the index-th joystick that is plugged in, or UINT(-1).
UINT joystick_id(int32_t index) {
    const UINT slots = joyGetNumDevs();
    for (UINT id = 0; id < slots; id++)
        if (joystick_present(id) && index-- == 0) return id;
    return static_cast<UINT>(-1);
}

} // namespace

int32_t window_system_find_display() {
    return 1; // a Windows session always has its desktop
}

int32_t window_system_init() {
    instance = GetModuleHandleW(nullptr);
    if (!wake_event) wake_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!wake_event) return window_init_failed;
    if (window_class) return window_ok;
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    description.lpfnWndProc = window_procedure;
    description.hInstance = instance;
    description.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(program_icon_id));
    description.hIconSm = description.hIcon;
    description.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    description.lpszClassName = class_name;
    window_class = RegisterClassExW(&description);
    return window_class ? window_ok : window_init_failed;
}

window_version window_system_version() {
    // The system's own version, as RtlGetVersion tells it (GetVersionEx lies to programs
    // without a compatibility manifest).
    window_version version;
    using rtl_get_version = LONG(WINAPI *)(OSVERSIONINFOW *);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto get = ntdll ? reinterpret_cast<rtl_get_version>(
                           reinterpret_cast<void *>(GetProcAddress(ntdll, "RtlGetVersion")))
                     : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (get && get(&info) == 0)
        version = {info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber};
    return version;
}

void window_system_quit() {
    if (window_class) UnregisterClassW(class_name, instance);
    window_class = 0;
}

window_handle *window_open(const window_attributes &attributes) {
    if (!window_class && window_system_init() != window_ok) return nullptr;
    auto *handle = new (std::nothrow) window_handle;
    if (!handle) return nullptr;
    // A fixed-size window whose client area is the asked size, as SDL 1.2 opens one.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, attributes.width, attributes.height};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const std::wstring caption = wide_text(attributes.caption);
    handle->window = CreateWindowExW(0, class_name, caption.c_str(), style, CW_USEDEFAULT,
                                     CW_USEDEFAULT, frame.right - frame.left,
                                     frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    if (!handle->window) {
        delete handle;
        return nullptr;
    }
    handle->device = GetDC(handle->window);
    PIXELFORMATDESCRIPTOR wanted{};
    wanted.nSize = sizeof wanted;
    wanted.nVersion = 1;
    wanted.dwFlags =
        PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | (attributes.double_buffer ? PFD_DOUBLEBUFFER : 0);
    wanted.iPixelType = PFD_TYPE_RGBA;
    wanted.cColorBits = static_cast<BYTE>(attributes.bits_per_pixel);
    wanted.cDepthBits = static_cast<BYTE>(attributes.depth_bits);
    wanted.iLayerType = PFD_MAIN_PLANE;
    const int format = ChoosePixelFormat(handle->device, &wanted);
    PIXELFORMATDESCRIPTOR chosen{};
    if (format == 0 || !SetPixelFormat(handle->device, format, &wanted) ||
        !DescribePixelFormat(handle->device, format, sizeof chosen, &chosen) ||
        !(handle->context = wglCreateContext(handle->device)) ||
        !wglMakeCurrent(handle->device, handle->context)) {
        if (handle->context) wglDeleteContext(handle->context);
        ReleaseDC(handle->window, handle->device);
        DestroyWindow(handle->window);
        delete handle;
        return nullptr;
    }
    handle->bits_per_pixel = chosen.cColorBits;
    RECT client{};
    GetClientRect(handle->window, &client);
    handle->width = client.right - client.left;
    handle->height = client.bottom - client.top;
    using swap_interval = BOOL(WINAPI *)(int);
    if (auto set_interval = reinterpret_cast<swap_interval>(
            reinterpret_cast<void *>(wglGetProcAddress("wglSwapIntervalEXT"))))
        set_interval(attributes.swap_control);
    repeat_delay_ms = attributes.key_repeat_delay_ms;
    repeat_interval_ms = attributes.key_repeat_interval_ms;
    if (attributes.icon) window_set_icon(handle, *attributes.icon);
    ShowWindow(handle->window, SW_SHOW);
    UpdateWindow(handle->window);
    open_window = handle;
    return handle;
}

void window_close(window_handle *window) {
    if (!window) return;
    wglMakeCurrent(nullptr, nullptr);
    if (window->context) wglDeleteContext(window->context);
    if (window->device) ReleaseDC(window->window, window->device);
    if (window->window) DestroyWindow(window->window);
    if (window->icon) DestroyIcon(window->icon);
    if (open_window == window) open_window = nullptr;
    delete window;
}

int32_t window_bits_per_pixel(const window_handle *window) {
    return window ? window->bits_per_pixel : 0;
}

uintptr_t window_native_handle(const window_handle *window) {
    return window ? reinterpret_cast<uintptr_t>(window->window) : 0;
}

uintptr_t window_owner_handle(const window_handle *window) {
    return window_native_handle(window);
}

int32_t window_width(const window_handle *window) {
    return window ? window->width : 0;
}

int32_t window_height(const window_handle *window) {
    return window ? window->height : 0;
}

void window_set_icon(window_handle *window, const window_icon &icon) {
    if (!window || !icon.argb || icon.width <= 0 || icon.height <= 0) return;
    // A top-down 32-bit colour bitmap with alpha and an all-shown mask.
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = icon.width;
    header.bV5Height = -icon.height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void *bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colour = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO *>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    HBITMAP mask = CreateBitmap(icon.width, icon.height, 1, 1, nullptr);
    if (colour && mask && bits) {
        std::copy_n(icon.argb, static_cast<size_t>(icon.width) * static_cast<size_t>(icon.height),
                    static_cast<uint32_t *>(bits));
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmColor = colour;
        info.hbmMask = mask;
        if (HICON made = CreateIconIndirect(&info)) {
            SendMessageW(window->window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(made));
            SendMessageW(window->window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(made));
            if (window->icon) DestroyIcon(window->icon);
            window->icon = made;
        }
    }
    if (colour) DeleteObject(colour);
    if (mask) DeleteObject(mask);
}

void window_swap_buffers(window_handle *window) {
    if (window) SwapBuffers(window->device);
}

// ---- events

void window_pump_messages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            window_event event;
            event.type = window_event_quit;
            pending.push_back(event);
            continue;
        }
        if (window_dialog_message(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int32_t window_poll_event(window_event *event) {
    if (pending.empty()) {
        window_pump_messages();
        check_repeat();
    }
    if (pending.empty()) return 0;
    *event = pending.front();
    pending.pop_front();
    return 1;
}

void set_window_wait_calls(const window_wait_calls *) {
    // The Win32 wait watches the message queue itself; a toolkit lends it nothing.
}

int32_t window_wait_timeout_ms() {
    if (!repeat_timestamp) return -1;
    const DWORD since = GetTickCount() - repeat_timestamp;
    const DWORD due = static_cast<DWORD>(repeat_first ? repeat_delay_ms : repeat_interval_ms) + 1;
    return static_cast<int32_t>(since < due ? due - since : 1);
}

void window_wait(const window_handle *) {
    if (!pending.empty()) return;
    const int32_t timeout = window_wait_timeout_ms();
    MsgWaitForMultipleObjects(1, &wake_event, FALSE,
                              timeout < 0 ? INFINITE : static_cast<DWORD>(timeout), QS_ALLINPUT);
}

void window_wake() {
    if (wake_event) SetEvent(wake_event);
}

int32_t window_start_timer(uint32_t interval_ms, void (*tick)()) {
    if (!tick) return 0;
    timer_tick = tick;
    HANDLE timer = nullptr;
    // A pool thread calls tick: the tick only counts and wakes the main thread.
    return CreateTimerQueueTimer(&timer, nullptr, on_timer, nullptr, interval_ms, interval_ms,
                                 WT_EXECUTEDEFAULT)
               ? 1
               : 0;
}

// ---- joysticks

int32_t window_joystick_count() {
    int32_t count = 0;
    const UINT slots = joyGetNumDevs();
    for (UINT id = 0; id < slots; id++)
        if (joystick_present(id)) count++;
    return count;
}

const char *window_joystick_name(int32_t index) {
    static char name[3 * MAXPNAMELEN];
    JOYCAPSW caps{};
    const UINT id = joystick_id(index);
    if (id == static_cast<UINT>(-1) || joyGetDevCapsW(id, &caps, sizeof caps) != JOYERR_NOERROR)
        return nullptr;
    if (!WideCharToMultiByte(CP_UTF8, 0, caps.szPname, -1, name, sizeof name, nullptr, nullptr))
        return nullptr;
    return name;
}

void window_joystick_events_on() {
    // winmm is polled; there is nothing to switch on.
}

window_joystick *window_joystick_open(int32_t index) {
    const UINT id = joystick_id(index);
    if (id == static_cast<UINT>(-1)) return nullptr;
    auto *joystick = new (std::nothrow) window_joystick;
    if (joystick) joystick->id = id;
    return joystick;
}

int16_t window_joystick_axis(window_joystick *joystick, int32_t axis) {
    if (!joystick) return 0;
    JOYINFOEX info{};
    info.dwSize = sizeof info;
    info.dwFlags = JOY_RETURNALL;
    if (joyGetPosEx(joystick->id, &info) != JOYERR_NOERROR) return 0;
    const DWORD positions[] = {info.dwXpos, info.dwYpos, info.dwZpos,
                               info.dwRpos, info.dwUpos, info.dwVpos};
    if (axis < 0 || axis >= static_cast<int32_t>(std::size(positions))) return 0;
    // winmm's 0 to 65535 as SDL's -32768 to 32767.
    return static_cast<int16_t>(static_cast<int32_t>(positions[axis]) - 32768);
}

void window_joystick_close(window_joystick *joystick) {
    delete joystick;
}

// ---- modeless dialogs

namespace {
window_dialog_filter dialog_filter = nullptr;
}

void set_window_dialog_filter(window_dialog_filter filter) {
    dialog_filter = filter;
}

bool window_dialog_message(MSG *message) {
    return dialog_filter && dialog_filter(message);
}
