// SPDX-License-Identifier: MIT
// The viewer's help and version texts, its unknown-option warnings and the display check that
// runs before SDL: SDL 1.2 left without a display falls back to a text-mode driver (libcaca,
// aalib) that takes over the terminal and then fails anyway.
#include "viewer/app/program_info.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tarvik_version.h"
#include "viewer/app/command_line.h"

namespace {

const char help_text[] =
    "Usage: tarvik [OPTION...] [FILE...]\n"
    "View SWAT character and weapon models (TKM) with their textures and bones, play their\n"
    "animations (TKA) and convert Milkshape 3D and glTF 2.0 models into TKM meshes.\n"
    "\n"
    "Options (each means the same wherever it stands):\n"
    "  --bones         show the bones, grips and grippers\n"
    "  --nomesh        hide the mesh triangles\n"
    "  --notextures    light the mesh with its materials' own colours, without textures\n"
    "  --nojoystick    neither list nor poll joysticks\n"
    "  --help          show this text and exit\n"
    "  --version       show the version and exit\n"
    "\n"
    "Each FILE loads once the window is up, in the order given: a .tka as the animation of the\n"
    "mesh named before it, anything else (.tkm, .ms3d, .gltf, .glb) as a mesh.\n"
    "\n"
    "The viewer needs a display (DISPLAY or WAYLAND_DISPLAY). Without one,\n"
    "'tkmtool render MESH OUT.png' draws a picture of a model.\n"
    "See tarvik(1) and tkmtool(1).\n";

const char no_display_text[] =
    "tarvik: no display is set (neither DISPLAY nor WAYLAND_DISPLAY), so the viewer cannot open "
    "its window.\n"
    "To run it on a virtual display:\n"
    "  xvfb-run -a -s \"-screen 0 1280x1024x24 -noreset\" tarvik [OPTION...] [FILE...]\n"
    "To draw a picture of a model without a display:\n"
    "  tkmtool render MESH OUT.png\n";

bool is_set(const char *name) {
    const char *value = std::getenv(name);
    return value && value[0] != '\0';
}

bool names_a_file(const char *argument) {
    struct stat info {};
    return stat(argument, &info) == 0;
}

} // namespace

int32_t is_info_option(const char *argument) {
    return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "--version") == 0;
}

int32_t print_requested_info(int argc, char **argv) {
    for (int i = 1; i < argc; i++) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(help_text, stdout);
            return 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("tarvik %s\n", TARVIK_VERSION);
            return 1;
        }
    }
    return 0;
}

int32_t warn_unknown_options(int argc, char **argv) {
    int32_t count = 0;
    for (int i = 1; i < argc; i++) {
        const char *argument = argv[i];
        if (argument[0] != '-' || argument[1] == '\0' || is_command_line_option(argument) ||
            is_info_option(argument) || names_a_file(argument))
            continue;
        std::fprintf(stderr, "tarvik: unknown option '%s' ignored (see tarvik --help)\n", argument);
        count++;
    }
    return count;
}

int32_t display_is_usable() {
    if (is_set("SDL_VIDEODRIVER")) return 1;
    if (!is_set("DISPLAY") && !is_set("WAYLAND_DISPLAY")) {
        std::fputs(no_display_text, stderr);
        return 0;
    }
    setenv("SDL_VIDEODRIVER", "x11", 1);
    return 1;
}
