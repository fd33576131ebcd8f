// SPDX-License-Identifier: MIT
// The drawing module's entry point: render and thumbnail, with OSMesa and the viewer's drawing.
#include "commands.h"
#include "parts.h"

extern "C" __attribute__((visibility("default"))) int
tkmtool_drawing_command(const char *name, const std::vector<std::string> *args) {
    const std::string command = name;
    if (command == "render") return command_render(*args);
    if (command == "thumbnail") return command_thumbnail(*args);
    return 1;
}
