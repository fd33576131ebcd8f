// SPDX-License-Identifier: MIT
/* larkspur: the four message outlets (errors, information, any stream, discarded debug traces). */
#ifndef LARKSPUR_MESSAGES_H
#define LARKSPUR_MESSAGES_H

#include <stdio.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* The error outlet, through which the library makes every error report: formats to standard
   error; returns the characters written, negative on an output error. */
LARKSPUR_API int real_meow(const char *format, ...) LARKSPUR_PRINTF(1, 2);
/* The information outlet: formats to standard output; same result as real_meow. */
LARKSPUR_API int real_purr(const char *format, ...) LARKSPUR_PRINTF(1, 2);
/* The outlet to any stream: formats to stream; a null stream writes nothing. */
LARKSPUR_API void fmeow(FILE *stream, const char *format, ...) LARKSPUR_PRINTF(2, 3);
/* The debug-trace outlet: accepts a message and discards it (scratch files pass their temporary
   names here). */
LARKSPUR_API void hairball(const char *format, ...) LARKSPUR_PRINTF(1, 2);

LARKSPUR_END_C

#endif
