// SPDX-License-Identifier: MIT
// The GUI inside the viewer's main loop: early initialisation, pumping of pending GUI events,
// the wait the window layer borrows while there is nothing to draw, and the quit signals.
#pragma once

#include <cstdint>

// Initialises GTK for X11 without touching the process locale; returns 1 when GTK is usable.
// Must run before the window system starts.
int gui_platform_init();
// 1 once gui_platform_init succeeded.
int gui_available();
// Runs every pending GTK event; tool-window commands execute inside this call.
void pump_gui_events();
// Blocks until the GUI has an event or a source to run, input arrives on descriptor (the OpenGL
// window's connection; -1 for none), wake_gui_loop is called or timeout_ms passes (-1: no limit).
// Without GTK it sleeps 10 ms (or the shorter timeout) instead. Runs nothing itself: the caller
// pumps the GUI and reads the window's events afterwards.
void wait_for_input(intptr_t descriptor, int32_t timeout_ms);
// Calls tick every interval_ms on the main thread, from inside the GUI's pumping and waits, for
// the rest of the run; 1 when installed, 0 without GTK.
int32_t add_gui_timer(uint32_t interval_ms, void (*tick)());
// Ends a wait_for_input in progress or the next one. Safe from any thread.
void wake_gui_loop();
// From now on SIGINT and SIGTERM call quit on the main thread, from inside the GUI loop, a file
// chooser's or message box's wait included. A signal ignored since the program started (a
// background job's SIGINT) stays ignored. Needs GTK; returns 1 when both are routed or ignored.
int route_quit_signals(void (*quit)());
