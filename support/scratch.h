// SPDX-License-Identifier: MIT
/* larkspur: scratch files, written beside their target and put in its place only when complete. */
#ifndef LARKSPUR_SCRATCH_H
#define LARKSPUR_SCRATCH_H

#include <stdio.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* Owned by the caller from open_scratch_file until cleanup_scratch_file; all three are blocks.
   Until it is complete the new file has no name where the filesystem allows (temp_name is the
   name it gets just before it replaces the target); elsewhere it stands under temp_name. */
typedef struct scratch_file {
    FILE *stream;      /* the open temporary file; null once closed */
    char *target_name; /* copy of the target path */
    char *temp_name;   /* directory, tick count, '.', process id, '.', base name */
} scratch_file;

/* Opens a temporary file beside target, keeping the target's permissions; null (errno says why,
   the shared library also reports it) on failure, also for a target that is a directory or a
   write-protected file (one the process may not write, or with no write bit for anyone: EACCES),
   which stays as it was. */
LARKSPUR_API scratch_file *open_scratch_file(const char *target);
/* Closes the stream and, when every write reached the disk, renames the temporary file over the
   target: 0 on success; 1 null record, a failed write or a failed rename (reported, and the new
   data removed); 2 no stream, 3 no target name, 4 no temporary name (the new data removed). */
LARKSPUR_API int close_scratch_file(scratch_file *file);
/* Closes a still open stream and removes the unfinished data (the target stays as it was), then
   releases the names and the record. */
LARKSPUR_API void cleanup_scratch_file(scratch_file *file);

LARKSPUR_END_C

#endif
