// SPDX-License-Identifier: MIT
/* larkspur: the four message outlets. */
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include "message_sink.h"
#include "messages.h"

/* Each thread has its own: a command's collector must not see another thread's messages. */
static _Thread_local message_sink thread_sink;
static _Thread_local void *thread_sink_user;

void set_message_sink(message_sink sink, void *user) {
    thread_sink = sink;
    thread_sink_user = sink ? user : NULL;
}

message_sink current_message_sink(void **user) {
    if (user) *user = thread_sink_user;
    return thread_sink;
}

/* Formats into a block of the message's own size, so that a long path is never cut. */
static int to_sink(enum message_outlet outlet, const char *format, va_list args) {
    char small[512];
    va_list again;
    va_copy(again, args);
    int length = vsnprintf(small, sizeof small, format, args);
    if (length < 0) {
        va_end(again);
        return length;
    }
    if ((size_t)length < sizeof small) {
        thread_sink(outlet, small, thread_sink_user);
    } else {
        char *text = malloc((size_t)length + 1);
        if (!text) {
            va_end(again);
            return -1;
        }
        vsnprintf(text, (size_t)length + 1, format, again);
        thread_sink(outlet, text, thread_sink_user);
        free(text);
    }
    va_end(again);
    return length;
}

int real_meow(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int written =
        thread_sink ? to_sink(message_error, format, args) : vfprintf(stderr, format, args);
    va_end(args);
    return written;
}

int real_purr(const char *format, ...) {
    va_list args;
    va_start(args, format);
    int written =
        thread_sink ? to_sink(message_information, format, args) : vfprintf(stdout, format, args);
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
