// SPDX-License-Identifier: MIT
// Writing a tka_animation as a TKA file, in the layout tka_loader.cpp describes.
#pragma once

#include <cstdio>

struct tka_animation;

// Writes animation to path through a scratch file that replaces path only when complete, so a
// failed write leaves the target as it was and nothing else beside it. 0 on success; 1 when the
// scratch file cannot be made, 2 to 16 by the failing field (the loader's numbering), 17 when the
// finished file cannot be flushed or put in place. On failure errno holds the system's reason (0
// when the failure was not the system's).
int write_tka(const tka_animation *animation, const char *path);

// Writes animation into an open binary stream (left open, not flushed); 0, or 2 to 16.
int write_tka_stream(const tka_animation *animation, FILE *stream);
