// SPDX-License-Identifier: MIT
/* larkspur: loading shared libraries by name and finding functions in them (shared library only).
 */
#ifndef LARKSPUR_LIBRARY_H
#define LARKSPUR_LIBRARY_H

#include <stdint.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* The platform's handle of a loaded module; null means none. */
typedef void *library_handle;

/* Caller-owned list of loaded libraries, oldest first; libraries is null when count is 0. */
typedef struct library_list {
    uint32_t count;
    library_handle *libraries;
} library_list;

/* Empties list (without unloading anything); returns 0. */
LARKSPUR_API int initialise_library_list(library_list *list);
/* A zero-filled array of count handles from malloc, or null for 0 or when memory is short. */
LARKSPUR_API library_handle *alloc_libraries(uint32_t count);
/* Loads name with the platform's search rules and appends it to list (when given); null on failure.
 */
LARKSPUR_API library_handle load_library(const char *name, library_list *list);
/* Unloads library and removes it from list: 0 unloaded (or null handle), 1 the platform refused. */
LARKSPUR_API int unload_library(library_handle library, library_list *list);
/* Address of name in library, or null. */
LARKSPUR_API void *get_function(const char *name, library_handle library);
/* Address of name in the first listed library that has it, or null. */
LARKSPUR_API void *find_function(const char *name, const library_list *list);

LARKSPUR_END_C

#endif
