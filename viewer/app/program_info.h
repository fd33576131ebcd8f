// SPDX-License-Identifier: MIT
// What the viewer says before it starts: --help, --version, unknown options, a missing display.
#pragma once

#include <cstdint>

// 1 when argument is "--help" or "--version", the options that print and end the program.
int32_t is_info_option(const char *argument);
// Handles --help and --version (the first one given wins): prints the text on standard output and
// returns 1; returns 0, printing nothing, when neither is given.
int32_t print_requested_info(int argc, char **argv);
// Names each argument that looks like an option (starts with '-') but is none of the viewer's and
// names no file, on standard error; returns how many there were.
int32_t warn_unknown_options(int argc, char **argv);
// Keeps the window system off the terminal: with no display for it (window_system_find_display),
// prints why the viewer cannot start and what to do instead on standard error and returns 0;
// otherwise returns 1.
int32_t display_is_usable();
