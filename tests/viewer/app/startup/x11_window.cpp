// SPDX-License-Identifier: MIT
// Finding a window by title and asking it to close, with plain Xlib.
#include "x11_window.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <thread>

namespace {

// Windows come and go while we look: a vanished window is no reason to end the test.
int ignore_errors(Display *, XErrorEvent *) {
    return 0;
}

Display *open_display() {
    XSetErrorHandler(ignore_errors);
    return XOpenDisplay(nullptr);
}

Window search(Display *display, Window at, const std::string &title) {
    char *name = nullptr;
    if (XFetchName(display, at, &name) && name) {
        bool match = title == name;
        XFree(name);
        if (match) return at;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, at, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; i++)
            found = search(display, children[i], title);
        if (children) XFree(children);
    }
    return found;
}

} // namespace

unsigned long find_window(const std::string &title, int timeout_ms) {
    Display *display = open_display();
    if (!display) return 0;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    Window found = search(display, DefaultRootWindow(display), title);
    while (!found && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        found = search(display, DefaultRootWindow(display), title);
    }
    XCloseDisplay(display);
    return found;
}

bool close_window(unsigned long window) {
    Display *display = open_display();
    if (!display) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    XCloseDisplay(display);
    return sent != 0;
}

bool unmap_window(unsigned long window) {
    Display *display = open_display();
    if (!display) return false;
    XUnmapWindow(display, window);
    XSync(display, False);
    XCloseDisplay(display);
    return true;
}
