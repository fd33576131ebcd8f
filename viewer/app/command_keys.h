// SPDX-License-Identifier: MIT
// Keys that start viewer commands or flip drawing toggles when released.
#pragma once

#include <cstdint>

// Runs the command bound to the released key (a key_code); 1 when the key has one, else 0.
int32_t on_command_key(int32_t key);
