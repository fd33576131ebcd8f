/* larkspur: scratch files, written beside their target and put in its place only when complete. */
#ifndef LARKSPUR_SCRATCH_H
#define LARKSPUR_SCRATCH_H

#include <stdio.h>
#include "api.h"

LARKSPUR_BEGIN_C

/* Owned by the caller from open_scratch_file until cleanup_scratch_file; all three are blocks. */
typedef struct scratch_file {
    FILE *stream;      /* the open temporary file; null once closed */
    char *target_name; /* copy of the target path */
    char *temp_name;   /* directory, tick count, '.', process id, '.', base name */
} scratch_file;

/* Opens a temporary file beside target; null (reported) on failure. */
LARKSPUR_API scratch_file *open_scratch_file(const char *target);
/* Closes the stream and renames the temporary file over the target: 0 on success, 1 null record or
   failed rename, 2 no stream, 3 no target name, 4 no temporary name. */
LARKSPUR_API int close_scratch_file(scratch_file *file);
/* Closes a still open stream (the temporary file stays), releases the names and the record. */
LARKSPUR_API void cleanup_scratch_file(scratch_file *file);

LARKSPUR_END_C

#endif
