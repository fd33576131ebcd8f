// SPDX-License-Identifier: MIT
// The part of tkmtool whose libraries load only when a command needs them: drawing (OSMesa) for
// render and thumbnail. tkmtool itself loads it as a module (loaded_parts.cpp); the tests link it
// in (linked_parts.cpp). Images need no part: stb is compiled in (stb_images.h).
#pragma once

#include <string>
#include <vector>

#include "stb_images.h"

// The drawing part's entry point, by which the module runs render and thumbnail.
inline constexpr const char *drawing_entry_point = "tkmtool_drawing_command";

// A drawing command run in the drawing part: its name ("render" or "thumbnail") and its
// arguments; returns the exit status.
using drawing_command = int (*)(const char *name, const std::vector<std::string> *args);
