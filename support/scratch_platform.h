// SPDX-License-Identifier: MIT
/* larkspur internal: the system's side of scratch files (scratch_platform_posix.c,
   scratch_platform_win32.c) below the logic they share (scratch.c). Error numbers are errno values
   on every system. */
#ifndef LARKSPUR_SCRATCH_PLATFORM_H
#define LARKSPUR_SCRATCH_PLATFORM_H

#include <stdint.h>
#include "scratch_write.h"

LARKSPUR_BEGIN_C

/* The record behind every scratch_file handed out: the caller's three fields come first, so the
   caller's pointer is this block. */
typedef struct scratch_state {
    scratch_file file;
    int fd;           /* the descriptor under stream; -1 once closed */
    int error;        /* errno of the first failure the system reported; 0 while none */
    char *disk_name;  /* the temporary name while a file stands under it, else null; a block */
    int slot;         /* place of disk_name in the registry, -1 when not there */
    uint64_t written; /* octets the system has taken so far */
    int direct;       /* the target is a device or pipe, written in place */
    int quiet;        /* the caller reports failures itself, with the reason */
    void *pump;       /* Windows: the thread that takes the stream's octets to fd; else null */
    void *pump_pipe;  /* Windows: the end of the stream's pipe that the thread reads */
} scratch_state;

/* ---- shared, for the system's side ---- */

/* The faults in effect (all zero: none). */
const scratch_faults *scratch_faults_in_effect(void);
/* Keeps error (EIO for 0) as the file's first failure, unless one is kept already. */
void note_scratch_error(scratch_state *state, int error);
/* Prints the temporary name again for a name some other file has taken; negative on failure. */
int print_scratch_name(scratch_file *file, int attempt);
/* Notes that temp_name now stands on disk (in disk_name and the registry); 0, or -1 out of
   memory. */
int take_scratch_name(scratch_state *state);
/* Forgets disk_name, removing the file under it when remove is set. */
void drop_scratch_name(scratch_state *state, int remove);
/* Removes every name in the registry: for the handlers of signals and console events. */
void remove_registered_names(void);
/* Takes size octets of the stream to the file as far as the faults let them, keeping the first
   failure's reason (errno set to it) and telling on_write; the number of octets the file took,
   fewer than size once a write failed. Every octet of every scratch file passes here. */
size_t pass_scratch_octets(scratch_state *state, const char *octets, size_t size);

/* ---- the system's side ---- */

/* Milliseconds of a monotonic clock, and the process id: with them scratch names stay apart. */
int scratch_tick_count(void);
int scratch_process_id(void);
/* Opens the scratch file for state's target (a target that is a directory fails with EISDIR;
   one that is a device or pipe is opened in place, direct set); 0, or -1 with errno set. */
int create_scratch(scratch_state *state);
/* The stream over state->fd whose writes go through pass_scratch_octets; the descriptor
   outlives it. */
FILE *open_scratch_stream(scratch_state *state);
/* Writes up to size octets to state->fd once: the number written, or -1 with errno set. */
long put_scratch_octets(scratch_state *state, const char *octets, size_t size);
/* Puts the data on disk; 0 or the error. */
int sync_scratch(scratch_state *state);
/* Gives a file that has none the temporary name; 0 or the error. */
int name_scratch(scratch_state *state);
/* Puts the file under disk_name in the target's place, durably; 0 or the error. */
int replace_with_scratch(scratch_state *state);
/* Closes the descriptor, when open. */
void close_scratch_descriptor(scratch_state *state);
/* Removes a file by name, as a signal handler may. */
void remove_scratch_name(const char *name);
/* Calls each with every name (not a path) in directory ("" for the working directory), with
   context; a directory that cannot be read is passed over. */
void each_directory_entry(const char *directory, void (*each)(const char *name, void *context),
                          void *context);
/* 1 when no process with this id runs (so a scratch file it named is left over), else 0. */
int scratch_process_ended(long pid);
/* Starts and ends the removal of registered names when the process is ended from outside. */
void catch_endings(void);
void release_endings(void);

LARKSPUR_END_C

#endif
