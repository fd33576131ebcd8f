// SPDX-License-Identifier: MIT
// The viewer's help and version texts, its unknown-option warnings and the display check that
// runs before the window system starts.
#include "viewer/app/program_info.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tarvik_version.h"
#include "viewer/app/command_line.h"
#include "viewer/files/file_status.h"
#include "viewer/window/window.h"

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

bool names_a_file(const char *argument) {
    return file_exists(argument) != 0;
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
    if (window_system_find_display()) return 1;
    std::fputs(no_display_text, stderr);
    return 0;
}
