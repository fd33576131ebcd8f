// SPDX-License-Identifier: MIT
/* larkspur internal: what the tree's own writers need of scratch files beyond the exported three.
 */
#ifndef LARKSPUR_SCRATCH_WRITE_H
#define LARKSPUR_SCRATCH_WRITE_H

#include <stddef.h>
#include <stdint.h>
#include "scratch.h"

LARKSPUR_BEGIN_C

/* Faults every scratch file's writes meet, for tests; all zero (the start) is the system itself. */
typedef struct scratch_faults {
    uint64_t fail_after; /* octets of each file the system takes before its writes fail */
    int error;           /* the errno of that failure; 0 for no failing writes */
    int named_only;      /* refuse unnamed files, as filesystems without O_TMPFILE do */
    /* After each write: the file's size. Windows calls it on a thread the file has of its own. */
    void (*on_write)(uint64_t written, void *context);
    void *context; /* handed to on_write */
} scratch_faults;

/* Copies faults into effect for every scratch file written from now on; null ends them. */
void set_scratch_faults(const scratch_faults *faults);
/* The errno of the first failure the system reported for file (a write, flush, link or rename);
   0 while none. */
int scratch_file_error(const scratch_file *file);
/* Puts file in its target's place when complete is nonzero, else abandons it; releases the record
   either way and reports nothing (the caller's message gives the reason). 0 when the target now
   holds the data; otherwise the system's error number (EIO when it gave none), or 0 for an
   abandoned file whose writes the system never refused. */
int finish_scratch_file(scratch_file *file, int complete);
/* Replaces path with size octets through a scratch file: 0, or the system's error number. */
int replace_file_bytes(const char *path, const void *bytes, size_t size);
/* Replaces count files as one (paths[i] with sizes[i] octets from bytes[i]): every file is
   written whole before any is put in place, the first one (that names the others) last. 0, or
   the system's error number with *failed set to the index of the file it concerns; a failure
   before the first rename leaves every target as it was. */
int replace_files_bytes(size_t count, const char *const *paths, const void *const *bytes,
                        const size_t *sizes, size_t *failed);

LARKSPUR_END_C

#ifdef __cplusplus
#include <cstring>
#include <string>

/* " (No space left on device)" for a system error number, nothing for 0: the tail of a message
   that ends in a code. */
inline std::string bracketed_reason(int error) {
    return error ? std::string(" (") + std::strerror(error) + ")" : std::string();
}

/* ": No space left on device" for a system error number, nothing for 0: the tail of a message
   that ends in a path. */
inline std::string colon_reason(int error) {
    return error ? std::string(": ") + std::strerror(error) : std::string();
}
#endif

#endif
