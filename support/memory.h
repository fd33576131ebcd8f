// SPDX-License-Identifier: MIT
/* larkspur: zero-filled heap blocks. The path pieces and string equality are in paths.h, included
   here for the programs that take them from this header. */
#ifndef LARKSPUR_MEMORY_H
#define LARKSPUR_MEMORY_H

#include <stdint.h>
#include "api.h"
#include "paths.h"

LARKSPUR_BEGIN_C

/* Makes one entry of a block array; returns a block from alloc_one, or null. */
typedef void *(*block_maker)(void);

/* A zero-filled block of size octets (0 gives a valid empty block), or null. Release with
 * cleanup_one. */
LARKSPUR_API void *alloc_one(uint32_t size);
/* Releases a block; null is ignored. Non-zero when something was released. */
LARKSPUR_API int cleanup_one(void *block);
/* An array of count blocks made by maker (or alloc_one(size)); null, with nothing left over, on
 * failure. */
LARKSPUR_API void **alloc_lots(uint32_t count, uint32_t size, block_maker maker);
/* A new array of old_count + more blocks, the first old_count holding copies of size octets of the
   old entries; the old array is released on success and untouched on failure (null). */
LARKSPUR_API void **alloc_more(uint32_t more, uint32_t size, block_maker maker, uint32_t old_count,
                               void **old_array);
/* Releases the first count non-null entries, then the array. */
LARKSPUR_API void cleanup_lots(uint32_t count, void **array);

LARKSPUR_END_C

#endif
