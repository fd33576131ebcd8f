// SPDX-License-Identifier: MIT
/* larkspur internal: the system's side of loading modules, one source per system. */
#ifndef LARKSPUR_PLATFORM_LIBRARY_H
#define LARKSPUR_PLATFORM_LIBRARY_H

#include "api.h"

LARKSPUR_BEGIN_C

/* The module at path (UTF-8) loaded with every symbol resolved now; null on failure. */
void *platform_open_library(const char *path);
/* 0 when the module was unloaded. */
int platform_close_library(void *library);
/* The address of the exported name, or null. */
void *platform_library_symbol(void *library, const char *name);
/* Why the last load or look-up failed, as the system says it; "" when it does not. The text
   stays valid until the next call. */
const char *platform_library_error(void);
/* The directory of the running program (UTF-8, no trailing separator) as a block from alloc_one;
   null when the system does not say or memory is short. */
char *platform_program_directory(void);

LARKSPUR_END_C

#endif
