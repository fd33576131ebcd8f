// SPDX-License-Identifier: MIT
// GTK on the main thread beside the window system: GTK is initialised first, and its events are
// pumped before the window's events are read, so tool-window commands run between frames.
#include "viewer/gui/gui_loop.h"

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <initializer_list>
#include <thread>
#include <vector>

namespace {

int gtk_ready = 0;
void (*quit_handler)() = nullptr;

gboolean on_quit_signal(gpointer) {
    if (quit_handler) quit_handler();
    return G_SOURCE_CONTINUE;
}

// 1 when the signal was ignored when this process started (SDL keeps such a setting too).
bool ignored_from_start(int signal_number) {
    struct sigaction current {};
    return sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

} // namespace

int gui_platform_init() {
    if (gtk_ready) return 1;
    gdk_set_allowed_backends("x11");
    // Without this GTK switches the process to the user's locale and numbers print with commas.
    gtk_disable_setlocale();
    gtk_ready = gtk_init_check(nullptr, nullptr) ? 1 : 0;
    return gtk_ready;
}

int gui_available() {
    return gtk_ready;
}

void pump_gui_events() {
    if (!gtk_ready) return;
    while (gtk_events_pending())
        gtk_main_iteration_do(FALSE);
}

void wait_for_input(intptr_t descriptor, int32_t timeout_ms) {
    GMainContext *context = g_main_context_default();
    if (!gtk_ready || !g_main_context_acquire(context)) {
        const int32_t nap = timeout_ms < 0 ? 10 : std::min(timeout_ms, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(nap));
        return;
    }
    // GLib's loop taken apart: the descriptors of its sources (the GTK display, signals, timers,
    // wake-ups) and the window's are polled together, then marked, but nothing is dispatched
    // here. A command started meanwhile (a chooser) would otherwise run with the SDL descriptor
    // in the poll set and spin on events nobody reads.
    gint priority = 0;
    g_main_context_prepare(context, &priority);
    std::vector<GPollFD> fds(16);
    gint timeout = -1;
    gint count = 0;
    while ((count = g_main_context_query(context, priority, &timeout, fds.data(),
                                         static_cast<gint>(fds.size()))) >
           static_cast<gint>(fds.size()))
        fds.resize(static_cast<size_t>(count));
    fds.resize(static_cast<size_t>(count));
    if (descriptor >= 0)
        fds.push_back({static_cast<gint>(descriptor),
                       static_cast<gushort>(G_IO_IN | G_IO_HUP | G_IO_ERR), 0});
    // The earlier of GLib's own deadline and the caller's (a held key's next repeat).
    if (timeout_ms >= 0 && (timeout < 0 || timeout_ms < timeout)) timeout = timeout_ms;
    g_poll(fds.data(), static_cast<guint>(fds.size()), timeout);
    g_main_context_check(context, priority, fds.data(), count);
    g_main_context_release(context);
}

int32_t add_gui_timer(uint32_t interval_ms, void (*tick)()) {
    if (!gtk_ready || !tick) return 0;
    g_timeout_add(
        interval_ms,
        [](gpointer data) -> gboolean {
            reinterpret_cast<void (*)()>(data)();
            return G_SOURCE_CONTINUE;
        },
        reinterpret_cast<gpointer>(tick));
    return 1;
}

void wake_gui_loop() {
    g_main_context_wakeup(nullptr);
}

int route_quit_signals(void (*quit)()) {
    if (!gtk_ready) return 0;
    quit_handler = quit;
    static bool routed = false;
    if (routed) return 1;
    routed = true;
    for (int signal_number : {SIGINT, SIGTERM})
        if (!ignored_from_start(signal_number))
            g_unix_signal_add(signal_number, on_quit_signal, nullptr);
    return 1;
}
