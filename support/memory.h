// SPDX-License-Identifier: MIT
/* larkspur: zero-filled heap blocks, path pieces and string equality. */
#ifndef LARKSPUR_MEMORY_H
#define LARKSPUR_MEMORY_H

#include <stdint.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* Makes one entry of a block array; returns a block from alloc_one, or null. */
typedef void *(*block_maker)(void);

/* A zero-filled block of size octets (0 gives a valid empty block), or null. Release with cleanup_one. */
LARKSPUR_API void *alloc_one(uint32_t size);
/* Releases a block; null is ignored. Non-zero when something was released. */
LARKSPUR_API int cleanup_one(void *block);
/* An array of count blocks made by maker (or alloc_one(size)); null, with nothing left over, on failure. */
LARKSPUR_API void **alloc_lots(uint32_t count, uint32_t size, block_maker maker);
/* A new array of old_count + more blocks, the first old_count holding copies of size octets of the
   old entries; the old array is released on success and untouched on failure (null). */
LARKSPUR_API void **alloc_more(uint32_t more, uint32_t size, block_maker maker, uint32_t old_count,
                               void **old_array);
/* Releases the first count non-null entries, then the array. */
LARKSPUR_API void cleanup_lots(uint32_t count, void **array);

/* Points into path just after its last '.', or at the whole path when it has none; null for null. */
LARKSPUR_API const char *file_extension(const char *path);
/* New block: the directory part of path with its final separator ('\\' or '/'), or "". */
LARKSPUR_API char *get_dirname(const char *path);
/* New block: the part of path after its last separator, or the whole path. */
LARKSPUR_API char *get_basename(const char *path);
/* Expands %NAME% references of source into destination (size characters with the terminator).
   Returns the characters the full expansion needs with its terminator (more than size: destination
   untouched), 0 on failure. */
LARKSPUR_API uint32_t canonical_path(char *destination, const char *source, uint32_t size);
/* Copies source into destination (size characters); returns the characters stored without the
   terminator, or a result below 0 or equal to size when it did not fit. */
LARKSPUR_API int environment_path(const char *source, char *destination, uint32_t size);

/* 1 when a and b are equal octet for octet, else 0. */
LARKSPUR_API int str_equals(const char *a, const char *b);
/* 1 when a and b are equal after tolower of every character, else 0. */
LARKSPUR_API int str_equiv(const char *a, const char *b);

LARKSPUR_END_C

#endif
