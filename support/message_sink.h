// SPDX-License-Identifier: MIT
/* larkspur internal: where one thread's error and information messages go instead of the standard
   streams. Not part of the library's interface: the viewer and tkmtool use it to keep a command's
   messages in the order they arose on one stream, and to collect what reading one file said while
   other threads read others. */
#ifndef LARKSPUR_MESSAGE_SINK_H
#define LARKSPUR_MESSAGE_SINK_H

#include "api.h"

LARKSPUR_BEGIN_C

/* The outlet a message came through. */
enum message_outlet { message_error = 1, message_information = 2 };

/* Takes one formatted message (as printf would write it, newline included) from outlet. */
typedef void (*message_sink)(enum message_outlet outlet, const char *text, void *user);

/* From now on, real_meow and real_purr on the calling thread hand their messages to sink with user
   instead of writing them to standard error and output; a null sink restores the streams. Other
   threads are not affected. */
void set_message_sink(message_sink sink, void *user);

/* The calling thread's sink and its user pointer (null, null: the standard streams). */
message_sink current_message_sink(void **user);

LARKSPUR_END_C

#endif
