// SPDX-License-Identifier: MIT
/* larkspur: path pieces, environment expansion and string equality. */
#include <ctype.h>
#include <stdlib.h>
#include <string.h>
#include "paths.h"
#include "memory.h"

const char *file_extension(const char *path) {
    if (!path) return NULL;
    if (!*path) return path;
    /* The search crosses separators on purpose: dir.old\model yields old\model. */
    for (const char *at = path + strlen(path) - 1;; at--) {
        if (*at == '.') return at + 1;
        if (at == path) return path;
    }
}

/* Index of the last '\\' or '/', or -1; on Windows the ':' of a drive ends the folder of
   "D:model.tkm" (model.tkm in drive D's current folder). */
static long last_separator(const char *path) {
    long found = -1;
    for (long i = 0; path[i]; i++)
        if (path[i] == '\\' || path[i] == '/') found = i;
#ifdef _WIN32
    if (found < 0 && isalpha((unsigned char)path[0]) && path[1] == ':') found = 1;
#endif
    return found;
}

static char *copy_span(const char *text, size_t length) {
    if (length >= UINT32_MAX) return NULL;
    char *block = (char *)alloc_one((uint32_t)length + 1);
    if (block) memcpy(block, text, length);
    return block;
}

char *get_dirname(const char *path) {
    long separator = last_separator(path);
    return copy_span(path, separator < 0 ? 0 : (size_t)separator + 1);
}

char *get_basename(const char *path) {
    const char *base = path + last_separator(path) + 1;
    return copy_span(base, strlen(base));
}

/* Appends length characters of text at *used; destination null only counts. */
static void emit(char *destination, size_t *used, const char *text, size_t length) {
    if (destination) memcpy(destination + *used, text, length);
    *used += length;
}

/* Writes (or, with a null destination, measures) the expansion without its terminator. */
static size_t expand(char *destination, const char *source) {
    size_t used = 0;
    const char *at = source;
    while (*at) {
        const char *close = at[0] == '%' ? strchr(at + 1, '%') : NULL;
        if (!close) {
            const char *next = at[0] == '%' ? at + 1 : strchr(at, '%');
            size_t length = next ? (size_t)(next - at) : strlen(at);
            emit(destination, &used, at, length);
            at += length;
            continue;
        }
        /* %NAME%: a defined name is replaced, anything else stays exactly as written. */
        size_t name_length = (size_t)(close - at - 1);
        char name[256];
        const char *value = NULL;
        if (name_length > 0 && name_length < sizeof name) {
            memcpy(name, at + 1, name_length);
            name[name_length] = 0;
            value = getenv(name);
        }
        if (value)
            emit(destination, &used, value, strlen(value));
        else
            emit(destination, &used, at, name_length + 2);
        at = close + 1;
    }
    return used;
}

uint32_t canonical_path(char *destination, const char *source, uint32_t size) {
    if (!source || (!destination && size)) return 0;
    size_t needed = expand(NULL, source) + 1;
    if (needed > UINT32_MAX) return 0;
    if (needed <= size) destination[expand(destination, source)] = 0;
    return (uint32_t)needed;
}

int environment_path(const char *source, char *destination, uint32_t size) {
    if (!source || !destination || size == 0) return -1;
    size_t length = strlen(source);
    if (length >= size) {
        /* Did not fit: say so, but never leave the buffer without a terminator. */
        memcpy(destination, source, size - 1);
        destination[size - 1] = 0;
        return length == size ? (int)size : -1;
    }
    memcpy(destination, source, length + 1);
    return (int)length;
}

int str_equals(const char *a, const char *b) {
    return strcmp(a, b) == 0;
}

/* tolower of the character taken as signed; bytes above 0x7F map to themselves. */
static int lower(char c) {
    int value = (signed char)c;
    return value < 0 ? value : tolower(value);
}

int str_equiv(const char *a, const char *b) {
    for (;; a++, b++) {
        if (lower(*a) != lower(*b)) return 0;
        if (!*a) return 1;
    }
}
