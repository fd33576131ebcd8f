// SPDX-License-Identifier: MIT
// The viewer's entry sequence: command line, start-up, main loop, event dispatch, timer, shut-down.
#pragma once

#include <cstdint>

struct window_event;

// Dispatches every pending event of the OpenGL window, so that key repeats and mouse motion never
// queue up behind slow frames; stops at a quit request.
void handle_pending_events();
// Handles one event of the OpenGL window; 1 asks the main loop to end, 0 otherwise.
int32_t dispatch_event(const window_event *event);
// Start-up's joystick step: the count, then each joystick's name ("(unknown)" when the system
// has none) and whether it opens, through the window layer.
void check_joysticks();
// The animation's timer callback (on the main thread from the GUI's timer, or on a thread of the
// window system's without one): counts a tick for the main loop and wakes it; returns interval.
uint32_t animation_timer(uint32_t interval);
// Calls animation_timer every 100 ms, through the window layer's timer.
void start_animation_timer();
// Steps the frame once for every tick counted since the last call, with wrap-around, while
// playing; ticks that arrive while paused are dropped.
void service_animation_timer();
// Runs until quit_requested is set: pump GUI, every pending event, the ticks, then a frame while
// the window is active and the picture has changed, else a sleep until there is input or a held
// key's next repeat is due.
void run_main_loop();
// The whole program: start-up, the files named on the command line, loop, shut-down; returns the
// process exit code (0, 1 or 2).
int tarvik_main(int argc, char **argv);
