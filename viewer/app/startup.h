// The viewer's entry sequence: command line, start-up, main loop, event dispatch, timer, shut-down.
#pragma once

#include <SDL/SDL.h>
#include <cstdint>

// Sets app_state flags from the four options; anything else is ignored.
void parse_command_line(int argc, char **argv);
// Handles one SDL event; 1 asks the main loop to end, 0 otherwise.
int32_t dispatch_event(const SDL_Event *event);
// SDL timer callback (SDL's thread): hands a tick to the main loop; returns interval.
Uint32 animation_timer(Uint32 interval);
// Advances the frame once for every tick handed over since the last call, while not paused.
void service_animation_timer();
// Runs until quit_requested is set: pump GUI, one event, animation tick, then a frame if active.
void run_main_loop();
// The whole program: start-up, loop, shut-down; returns the process exit code (0, 1 or 2).
int tarvik_main(int argc, char **argv);
