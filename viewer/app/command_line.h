// SPDX-License-Identifier: MIT
// The viewer's four options: what each sets, and which arguments are options rather than files.
// Start-up, the files named on the command line and the unknown-option warning all ask this
// table, so it stands below all three.
#pragma once

#include <cstdint>

// Sets app_state flags from the four options; anything else is ignored.
void parse_command_line(int argc, char **argv);
// 1 when argument is one of the viewer's options (exactly, capitals matter), else 0.
int32_t is_command_line_option(const char *argument);
