// SPDX-License-Identifier: MIT
/* larkspur: path pieces (extension, folder, file name), %NAME% expansion and string equality. */
#ifndef LARKSPUR_PATHS_H
#define LARKSPUR_PATHS_H

#include <stdint.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* Points into path just after its last '.', or at the whole path when it has none; null for
   null. */
LARKSPUR_API const char *file_extension(const char *path);
/* New block: the directory part of path with its final separator ('\\' or '/'), or "". */
LARKSPUR_API char *get_dirname(const char *path);
/* New block: the part of path after its last separator, or the whole path. */
LARKSPUR_API char *get_basename(const char *path);
/* No canonical form (no "." or ".." resolved, no links followed): expands the %NAME% references
   of source into destination (size characters with the terminator). Returns the characters the
   full expansion needs with its terminator (more than size: destination untouched), 0 on
   failure. */
LARKSPUR_API uint32_t canonical_path(char *destination, const char *source, uint32_t size);
/* Expands nothing, whatever its name says: copies source into destination (size characters);
   returns the characters stored without the terminator, or a result below 0 or equal to size
   when it did not fit. */
LARKSPUR_API int environment_path(const char *source, char *destination, uint32_t size);

/* 1 when a and b are equal octet for octet, else 0. */
LARKSPUR_API int str_equals(const char *a, const char *b);
/* Equality ignoring letter case: 1 when a and b are equal after tolower of every character,
   else 0. */
LARKSPUR_API int str_equiv(const char *a, const char *b);

LARKSPUR_END_C

#endif
