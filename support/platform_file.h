// SPDX-License-Identifier: MIT
/* larkspur internal: opening a file by its UTF-8 name, whatever the system's own encoding. */
#ifndef LARKSPUR_PLATFORM_FILE_H
#define LARKSPUR_PLATFORM_FILE_H

#include <stdio.h>
#include "api.h"

LARKSPUR_BEGIN_C

#ifdef _WIN32
/* fopen with path and mode in UTF-8, through the UTF-16 calls. */
FILE *open_utf8_path(const char *path, const char *mode);
#else
/* The system takes UTF-8 names as they are. */
static inline FILE *open_utf8_path(const char *path, const char *mode) {
    return fopen(path, mode);
}
#endif

LARKSPUR_END_C

#endif
