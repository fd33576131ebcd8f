// SPDX-License-Identifier: MIT
/* larkspur internal: opening a file by its UTF-8 name, whatever the system's own encoding, and
   moving single octets through its buffer. */
#ifndef LARKSPUR_PLATFORM_FILE_H
#define LARKSPUR_PLATFORM_FILE_H

#include <stdio.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif
#include "api.h"

LARKSPUR_BEGIN_C

#ifdef _WIN32
/* fopen with path and mode in UTF-8, through the UTF-16 calls. */
FILE *open_utf8_path(const char *path, const char *mode);
/* The system refuses to open a directory as a file. */
static inline int is_directory_stream(FILE *stream) {
    (void)stream;
    return 0;
}
#else
/* The system takes UTF-8 names as they are. */
static inline FILE *open_utf8_path(const char *path, const char *mode) {
    return fopen(path, mode);
}
/* A directory opens for reading here, and fails only at its first read. */
static inline int is_directory_stream(FILE *stream) {
    struct stat info;
    return fstat(fileno(stream), &info) == 0 && S_ISDIR(info.st_mode);
}
#endif

/* One octet to or from a stream's buffer without taking the stream's lock: each stream is used by
   one thread at a time, and a model file's fields are a few octets each. */
#ifdef _WIN32
#define get_octet_unlocked(stream) _getc_nolock(stream)
#define put_octet_unlocked(octet, stream) _putc_nolock(octet, stream)
#else
#define get_octet_unlocked(stream) getc_unlocked(stream)
#define put_octet_unlocked(octet, stream) putc_unlocked(octet, stream)
#endif

LARKSPUR_END_C

#endif
