// SPDX-License-Identifier: MIT
// The viewer's entry sequence: command line, start-up, main loop, event dispatch, timer, shut-down.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>

// Handles one SDL event; 1 asks the main loop to end, 0 otherwise.
int32_t dispatch_event(const SDL_Event *event);
// Start-up's joystick step: the count, then each joystick's name ("(unknown)" when SDL has
// none) and whether it opens, through the joystick calls in use.
void check_joysticks();
// The animation's timer callback (on the main thread from a GLib source, or on SDL's timer
// thread without GTK): counts a tick for the main loop and wakes it; returns interval.
Uint32 animation_timer(Uint32 interval);
// Calls animation_timer every 100 ms: a GLib source woken in the main loop's wait, or without
// GTK SDL's timer.
void start_animation_timer();
// Steps the frame once for every tick counted since the last call, with wrap-around, while
// playing; ticks that arrive while paused are dropped.
void service_animation_timer();
// Runs until quit_requested is set: pump GUI, every pending event, the ticks, then a frame while
// the window is active and the picture has changed, else a sleep until there is input.
void run_main_loop();
// The whole program: start-up, the files named on the command line, loop, shut-down; returns the
// process exit code (0, 1 or 2).
int tarvik_main(int argc, char **argv);
