// SPDX-License-Identifier: MIT
// render and thumbnail where tkmtool is built without a drawing library (the Windows build).
#include <cstdio>

#include "commands.h"

namespace {

int no_drawing(const char *name) {
    std::fprintf(stderr,
                 "tkmtool: %s needs a drawing library that this build of tkmtool does not "
                 "have\n",
                 name);
    return 1;
}

} // namespace

int command_render(const std::vector<std::string> &) {
    return no_drawing("render");
}

int command_thumbnail(const std::vector<std::string> &) {
    return no_drawing("thumbnail");
}
