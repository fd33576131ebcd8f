// SPDX-License-Identifier: MIT
// The GUI's loop on Windows is the window layer's own: one message queue for the OpenGL window,
// the dialogs and the choosers, waited on in MsgWaitForMultipleObjects. What is left here is the
// console's Ctrl+C and Ctrl+Break, and the end of the session, as an orderly quit.
#include "viewer/gui/gui_loop.h"

#include <windows.h>

#include "viewer/window/window.h"

namespace {

void (*quit_handler)() = nullptr;

// Runs on a thread the system starts for it: the quit only sets a flag and wakes the loop.
BOOL WINAPI on_console_event(DWORD event) {
    if (!quit_handler) return FALSE;
    quit_handler();
    window_wake();
    // Windows ends the process once this returns for a closed console or a logoff; give the
    // main loop a moment to shut down in order first.
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        Sleep(2000);
    return TRUE;
}

} // namespace

int gui_platform_init() {
    return 1;
}

int gui_available() {
    return 1;
}

void pump_gui_events() {
    // The window layer dispatches every message of the thread as it polls.
}

void wait_for_input(intptr_t, int32_t) {
    // Not installed: the window layer waits on the message queue itself.
}

int32_t add_gui_timer(uint32_t, void (*)()) {
    return 0;
}

void wake_gui_loop() {
    window_wake();
}

int route_quit_signals(void (*quit)()) {
    quit_handler = quit;
    return SetConsoleCtrlHandler(on_console_event, TRUE) ? 1 : 0;
}
