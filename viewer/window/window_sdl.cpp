// SPDX-License-Identifier: MIT
// The OpenGL window through SDL 1.2: start and end of SDL, the window, its icon and buffer swap.
#include "viewer/window/window_sdl.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdlib>
#include <new>
#include <vector>

struct window_handle {
    SDL_Surface *surface = nullptr;
    SDL_SysWMinfo wm_info{};
};

namespace {

bool is_set(const char *name) {
    const char *value = std::getenv(name);
    return value && value[0] != '\0';
}

const SDL_SysWMinfo *x11_info(const window_handle *window) {
    if (!window || !window->surface) return nullptr;
    const SDL_SysWMinfo &info = window->wm_info;
    return info.subsystem == SDL_SYSWM_X11 && info.info.x11.display ? &info : nullptr;
}

} // namespace

// SDL 1.2 left without a display falls back to a text-mode driver (libcaca, aalib) that takes over
// the terminal and then fails anyway: with a display X11 is named, unless the user chose a driver.
int32_t window_system_find_display() {
    if (is_set("SDL_VIDEODRIVER")) return 1;
    if (!is_set("DISPLAY") && !is_set("WAYLAND_DISPLAY")) return 0;
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return 1;
}

void prefer_window_framebuffer() {
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 0);
}

int32_t window_system_init() {
    // No SDL timer: SDL 1.2's timer thread wakes the process every millisecond, for good. The
    // animation's tick is a source of the loop's own wait where the GUI has one.
    prefer_window_framebuffer();
    return SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0 ? window_init_failed : window_ok;
}

window_version window_system_version() {
    SDL_version version;
    SDL_VERSION(&version);
    return {version.major, version.minor, version.patch};
}

void window_system_quit() {
    SDL_Quit();
}

window_handle *window_open(const window_attributes &attributes) {
    SDL_WM_SetCaption(attributes.caption, nullptr);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, attributes.depth_bits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, attributes.double_buffer);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, attributes.swap_control);
    SDL_EnableKeyRepeat(attributes.key_repeat_delay_ms, attributes.key_repeat_interval_ms);
    SDL_Surface *surface = SDL_SetVideoMode(attributes.width, attributes.height,
                                            attributes.bits_per_pixel, SDL_OPENGL | SDL_ANYFORMAT);
    if (!surface) return nullptr;
    auto *window = new (std::nothrow) window_handle;
    if (!window) return nullptr;
    window->surface = surface;
    SDL_VERSION(&window->wm_info.version);
    // Not checked: without the record the handles read 0 and the window simply has no owner.
    SDL_GetWMInfo(&window->wm_info);
    // Native window-system events are not queued: nothing reads them.
    SDL_EventState(SDL_SYSWMEVENT, SDL_IGNORE);
    if (attributes.icon) window_set_icon(window, *attributes.icon);
    return window;
}

void window_close(window_handle *window) {
    if (!window) return;
    SDL_FreeSurface(window->surface);
    delete window;
}

int32_t window_bits_per_pixel(const window_handle *window) {
    return window && window->surface ? window->surface->format->BitsPerPixel : 0;
}

uintptr_t window_native_handle(const window_handle *window) {
    return window ? static_cast<uintptr_t>(window->wm_info.info.x11.window) : 0;
}

uintptr_t window_owner_handle(const window_handle *window) {
    const SDL_SysWMinfo *info = x11_info(window);
    return info ? static_cast<uintptr_t>(info->info.x11.wmwindow) : 0;
}

int32_t window_width(const window_handle *window) {
    return window && window->surface ? window->surface->w : 0;
}

int32_t window_height(const window_handle *window) {
    return window && window->surface ? window->surface->h : 0;
}

// _NET_WM_ICON on the window's frame: what current window managers show (WM_HINTS is not read).
void window_set_icon(window_handle *window, const window_icon &icon) {
    const SDL_SysWMinfo *info = x11_info(window);
    if (!info || !icon.argb || icon.width <= 0 || icon.height <= 0) return;
    const size_t pixels = static_cast<size_t>(icon.width) * static_cast<size_t>(icon.height);
    std::vector<unsigned long> data;
    data.reserve(2 + pixels);
    data.push_back(static_cast<unsigned long>(icon.width));
    data.push_back(static_cast<unsigned long>(icon.height));
    for (size_t i = 0; i < pixels; i++)
        data.push_back(icon.argb[i]);
    if (info->info.x11.lock_func) info->info.x11.lock_func();
    Display *display = info->info.x11.display;
    Atom net_wm_icon = XInternAtom(display, "_NET_WM_ICON", False);
    XChangeProperty(display, info->info.x11.wmwindow, net_wm_icon, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(data.data()),
                    static_cast<int>(data.size()));
    XFlush(display);
    if (info->info.x11.unlock_func) info->info.x11.unlock_func();
}

void window_swap_buffers(window_handle *window) {
    if (window) SDL_GL_SwapBuffers();
}

SDL_Surface *window_sdl_surface(const window_handle *window) {
    return window ? window->surface : nullptr;
}

const SDL_SysWMinfo *window_sdl_wm_info(const window_handle *window) {
    return window ? &window->wm_info : nullptr;
}

intptr_t window_sdl_event_descriptor(const window_handle *window) {
    const SDL_SysWMinfo *info = x11_info(window);
    return info ? ConnectionNumber(info->info.x11.display) : -1;
}
