// SPDX-License-Identifier: MIT
// The drawing module's entry point: render and thumbnail, with the viewer's drawing in an offscreen
// context (OSMesa's, or WGL's on Windows).
#include "commands.h"
#include "parts.h"

#ifdef _WIN32
#define DRAWING_ENTRY extern "C" __declspec(dllexport)
#else
#define DRAWING_ENTRY extern "C" __attribute__((visibility("default")))
#endif

DRAWING_ENTRY int tkmtool_drawing_command(const char *name, const std::vector<std::string> *args) {
    const std::string command = name;
    if (command == "render") return command_render(*args);
    if (command == "thumbnail") return command_thumbnail(*args);
    return 1;
}
