// SPDX-License-Identifier: MIT
// The table of the viewer's options.
#include "viewer/app/command_line.h"

#include <cstring>

#include "viewer/app/app_state.h"

namespace {

struct option_row {
    const char *text;
    void (*apply)();
};

constexpr option_row options[] = {
    {"--nojoystick", [] { app_state.joystick_enabled = 0; }},
    {"--notextures",
     [] {
         app_state.show_textures = 0;
         app_state.white_materials = 0;
     }},
    {"--bones", [] { app_state.show_bones = 1; }},
    {"--nomesh", [] { app_state.show_mesh = 0; }},
};

} // namespace

void parse_command_line(int argc, char **argv) {
    if (argc < 2) return;
    for (int i = 1; i < argc; i++)
        for (const option_row &row : options)
            if (std::strcmp(argv[i], row.text) == 0) row.apply();
}

int32_t is_command_line_option(const char *argument) {
    for (const option_row &row : options)
        if (std::strcmp(argument, row.text) == 0) return 1;
    return 0;
}
