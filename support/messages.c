// SPDX-License-Identifier: MIT
/* larkspur: the four message outlets. */
#include <stdarg.h>
#include <stdio.h>
#include "messages.h"

int real_meow(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int written = vfprintf(stderr, format, args);
    va_end(args);
    return written;
}

int real_purr(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int written = vfprintf(stdout, format, args);
    va_end(args);
    return written;
}

void fmeow(FILE *stream, const char *format, ...) {
    if (!stream) return;
    va_list args;
    va_start(args, format);
    vfprintf(stream, format, args);
    va_end(args);
}

void hairball(const char *format, ...) {
    (void)format;
}
