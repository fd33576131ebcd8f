// Placeholder until the command keys exist.
#include "viewer/app/command_keys.h"

int32_t on_command_key(int32_t) { return 0; }
