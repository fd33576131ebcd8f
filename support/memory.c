// SPDX-License-Identifier: MIT
/* larkspur: zero-filled heap blocks and arrays of blocks. */
#include <stdlib.h>
#include <string.h>
#include "memory.h"

void *alloc_one(uint32_t size) {
    /* calloc(0) may return null; an empty request still gets a block of its own. */
    return calloc(1, size ? size : 1);
}

int cleanup_one(void *block) {
    if (!block) return 0;
    free(block);
    return 1;
}

static void *make_entry(block_maker maker, uint32_t size) {
    return maker ? maker() : alloc_one(size);
}

/* The pointer table's size, or 0 when count entries would not fit in 32 bits. */
static uint32_t table_size(uint32_t count, int *overflow) {
    uint64_t bytes = (uint64_t)count * sizeof(void *);
    *overflow = bytes > UINT32_MAX;
    return (uint32_t)bytes;
}

void **alloc_lots(uint32_t count, uint32_t size, block_maker maker) {
    /* A fresh array is a grown empty one. */
    return alloc_more(count, size, maker, 0, NULL);
}

void **alloc_more(uint32_t more, uint32_t size, block_maker maker, uint32_t old_count,
                  void **old_array) {
    if ((uint64_t)old_count + more > UINT32_MAX) return NULL;
    uint32_t count = old_count + more;
    int overflow;
    uint32_t bytes = table_size(count, &overflow);
    if (overflow) return NULL;
    void **array = (void **)alloc_one(bytes);
    if (!array) return NULL;
    for (uint32_t i = 0; i < count; i++) {
        array[i] = make_entry(maker, size);
        if (!array[i]) {
            cleanup_lots(i, array);
            return NULL;
        }
        if (i < old_count && old_array && old_array[i]) memcpy(array[i], old_array[i], size);
    }
    cleanup_lots(old_count, old_array);
    return array;
}

void cleanup_lots(uint32_t count, void **array) {
    if (!array) return;
    for (uint32_t i = 0; i < count; i++)
        if (array[i]) cleanup_one(array[i]);
    cleanup_one(array);
}
