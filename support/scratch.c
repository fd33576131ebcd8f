// SPDX-License-Identifier: MIT
/* larkspur: scratch files that replace their target only when complete.
 *
 * Sections: names | named scratch files and the endings from outside | leftovers | the stream |
 *           opening | closing and abandoning | the tree's own writers
 *
 * The data go to a scratch file in the target's directory that replaces the target in one step
 * only once they are complete and on disk: a process killed at any instant leaves the target as
 * it was. Where the system makes files without a name the scratch file gets its name only then;
 * elsewhere it has one from the start, which is removed on every failure and, through the
 * registry below, when the process is ended from outside (signals, a closed console). A target
 * that is a device or a pipe cannot be replaced and is written in place. The system's side of
 * each step is in scratch_platform_posix.c and scratch_platform_win32.c. */
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include "file.h"
#include "report.h"
#include "scratch_platform.h"

static scratch_faults faults; /* all zero: the system's own behaviour */

static scratch_state *state_of(scratch_file *file) {
    return (scratch_state *)file;
}

const scratch_faults *scratch_faults_in_effect(void) {
    return &faults;
}

void note_scratch_error(scratch_state *state, int error) {
    if (!state->error) state->error = error ? error : EIO;
}

/* ---- names ------------------------------------------------------------------------------ */

/* Prints directory, tick count (moved on by attempt, for a name some other file has taken),
   process id and base name into temp_name; negative when the print failed. */
int print_scratch_name(scratch_file *file, int attempt) {
    char *directory = get_dirname(file->target_name);
    char *base = get_basename(file->target_name);
    int printed = -1;
    if (directory && base)
        printed = snprintf(file->temp_name, strlen(file->target_name) + 129, "%s%d.%d.%s",
                           directory, (int)((unsigned)scratch_tick_count() + (unsigned)attempt),
                           scratch_process_id(), base);
    cleanup_one(directory);
    cleanup_one(base);
    return printed;
}

/* ---- named scratch files and the endings from outside ----------------------------------- */

/* Temporary names standing on disk, for the handler to remove. Slots are filled and emptied with
   atomic stores, so a handler running on any thread reads either a whole name or none. */
#define SCRATCH_SLOTS 64
static char *registered[SCRATCH_SLOTS];
static int num_registered;

void remove_registered_names(void) {
    for (int i = 0; i < SCRATCH_SLOTS; i++) {
        char *name = __atomic_load_n(&registered[i], __ATOMIC_ACQUIRE);
        if (name) remove_scratch_name(name);
    }
}

/* Notes that disk_name now stands on disk. A full registry only costs the clean-up on endings. */
static void register_name(scratch_state *state) {
    state->slot = -1;
    for (int i = 0; i < SCRATCH_SLOTS; i++) {
        if (__atomic_load_n(&registered[i], __ATOMIC_ACQUIRE)) continue;
        if (num_registered++ == 0) catch_endings();
        __atomic_store_n(&registered[i], state->disk_name, __ATOMIC_RELEASE);
        state->slot = i;
        return;
    }
}

static void unregister_name(scratch_state *state) {
    if (state->slot < 0) return;
    __atomic_store_n(&registered[state->slot], (char *)NULL, __ATOMIC_RELEASE);
    state->slot = -1;
    if (--num_registered == 0) release_endings();
}

int take_scratch_name(scratch_state *state) {
    size_t length = strlen(state->file.temp_name);
    state->disk_name = (char *)alloc_one((uint32_t)length + 1);
    if (!state->disk_name) return -1;
    memcpy(state->disk_name, state->file.temp_name, length);
    register_name(state);
    return 0;
}

void drop_scratch_name(scratch_state *state, int remove) {
    if (!state->disk_name) return;
    if (remove) remove_scratch_name(state->disk_name);
    unregister_name(state);
    cleanup_one(state->disk_name);
    state->disk_name = NULL;
}

/* ---- leftovers -------------------------------------------------------------------------- */

/* A process ended in the instant its scratch file stood named (killed, a power cut) leaves
   "<ticks>.<pid>.<base>" beside the target. The next save of the same target removes such a name
   once no process with that id runs. Only names that end in the target's own name are touched:
   a file of the user's that merely looks like "1.2.notes" in the same folder stays. */
typedef struct leftover_search {
    const char *directory; /* the target's directory, "" or ending in a separator */
    const char *base;      /* the target's name without its directory */
} leftover_search;

/* The process id of a name "<ticks>.<pid>.<base>" (ticks may be negative); -1 for other names. */
static long leftover_pid(const char *name, const char *base) {
    const char *at = name;
    if (*at == '-') at++;
    if (*at < '0' || *at > '9') return -1;
    while (*at >= '0' && *at <= '9')
        at++;
    if (*at++ != '.' || *at < '0' || *at > '9') return -1;
    long pid = 0;
    for (; *at >= '0' && *at <= '9'; at++) {
        if (pid > 99999999) return -1; /* no process id has so many digits */
        pid = pid * 10 + (*at - '0');
    }
    if (*at++ != '.' || strcmp(at, base) != 0) return -1;
    return pid;
}

static void remove_if_left_over(const char *name, void *context) {
    const leftover_search *search = (const leftover_search *)context;
    long pid = leftover_pid(name, search->base);
    /* This process's own scratch files stand under its running id, so they stay. */
    if (pid <= 0 || !scratch_process_ended(pid)) return;
    size_t directory_length = strlen(search->directory), name_length = strlen(name);
    if (name_length > UINT32_MAX - 1 - directory_length) return;
    char *path = (char *)alloc_one((uint32_t)(directory_length + name_length + 1));
    if (!path) return;
    memcpy(path, search->directory, directory_length);
    memcpy(path + directory_length, name, name_length);
    hairball("removing left-over scratch file %s\n", path);
    remove_scratch_name(path);
    cleanup_one(path);
}

static void remove_leftovers(const char *directory, const char *base) {
    leftover_search search = {directory, base};
    each_directory_entry(directory, remove_if_left_over, &search);
}

/* ---- the stream ------------------------------------------------------------------------- */

size_t pass_scratch_octets(scratch_state *state, const char *octets, size_t size) {
    const scratch_faults faults = *scratch_faults_in_effect();
    size_t allowed = size;
    if (faults.error) {
        uint64_t room = state->written < faults.fail_after ? faults.fail_after - state->written : 0;
        if (room < size) allowed = (size_t)room;
    }
    size_t done = 0;
    while (done < allowed) {
        long moved = put_scratch_octets(state, octets + done, allowed - done);
        if (moved <= 0) {
            note_scratch_error(state, errno);
            break;
        }
        done += (size_t)moved;
    }
    state->written += done;
    if (done == allowed && allowed < size) {
        note_scratch_error(state, faults.error);
        errno = faults.error;
    }
    if (faults.on_write && done) faults.on_write(state->written, faults.context);
    return done;
}

/* ---- opening ---------------------------------------------------------------------------- */
static scratch_file *abandon(scratch_file *file, char *directory, char *base) {
    cleanup_one(directory);
    cleanup_one(base);
    cleanup_scratch_file(file);
    return NULL;
}

scratch_file *open_scratch_file(const char *target) {
    scratch_state *state = (scratch_state *)alloc_one(sizeof *state);
    if (!state) {
        LK_REPORT("Out of memory for scratch file!\n");
        return NULL;
    }
    state->fd = -1;
    state->slot = -1;
    scratch_file *file = &state->file;
    size_t length = strlen(target);
    if (length > UINT32_MAX - 129) {
        LK_REPORT("Out of memory for scratch file name!\n");
        return abandon(file, NULL, NULL);
    }
    file->target_name = (char *)alloc_one((uint32_t)length + 1);
    if (!file->target_name) {
        LK_REPORT("Out of memory for scratch file name!\n");
        return abandon(file, NULL, NULL);
    }
    memcpy(file->target_name, target, length);
    file->temp_name = (char *)alloc_one((uint32_t)length + 129);
    if (!file->temp_name) {
        LK_REPORT("Out of memory for scratch file temp name!\n");
        return abandon(file, NULL, NULL);
    }
    char *directory = get_dirname(target);
    if (!directory) {
        LK_REPORT("Out of memory for temp name directory component!\n");
        return abandon(file, NULL, NULL);
    }
    char *base = get_basename(target);
    if (!base) {
        LK_REPORT("Out of memory for temp name file component!\n");
        return abandon(file, directory, NULL);
    }
    if (print_scratch_name(file, 0) < 0) {
        LK_REPORT("Can't set temp name\n");
        return abandon(file, directory, base);
    }
    hairball("temp filename: %s\n", file->temp_name);
    if (create_scratch(state) == 0) {
        /* A device or pipe written in place has no scratch files beside it. */
        if (!state->direct) remove_leftovers(directory, base);
        cleanup_one(directory);
        cleanup_one(base);
        file->stream = open_scratch_stream(state);
        if (file->stream) return file;
    } else {
        cleanup_one(directory);
        cleanup_one(base);
    }
    int error = errno;
    LK_REPORT_SHARED("Error opening file '%s' for writing: %s\n", file->temp_name, strerror(error));
    abandon(file, NULL, NULL);
    errno = error;
    return NULL;
}

/* ---- closing and abandoning ------------------------------------------------------------- */

static void release_names(scratch_file *file) {
    cleanup_one(file->target_name);
    cleanup_one(file->temp_name);
    file->target_name = NULL;
    file->temp_name = NULL;
}

/* Removes whatever of the new data stands on disk and closes the descriptor. */
static void discard_data(scratch_state *state) {
    /* Closed first: Windows removes no open file. */
    close_scratch_descriptor(state);
    drop_scratch_name(state, 1);
}

/* What close_scratch_file reports, by the step of replace_target that failed. */
enum { failed_writing, failed_naming, failed_renaming };
static const char *const failure_reports[] = {
    "Can't write scratch file for %s: %s\n",
    "Can't name scratch file for %s: %s\n",
    "Can't rename scratch file over %s: %s\n",
};

/* Puts the complete file in the target's place; 0, or the system's error with *step set. */
static int replace_target(scratch_state *state, int *step) {
    *step = failed_writing;
    /* On disk before it gets the target's name, so a power cut cannot leave an empty target. */
    if (!state->error && !state->direct) {
        int error = sync_scratch(state);
        if (error) note_scratch_error(state, error);
    }
    if (state->error || state->direct) return state->error;
    if (!state->disk_name) {
        *step = failed_naming;
        int error = name_scratch(state);
        if (error) {
            note_scratch_error(state, error);
            return error;
        }
    }
    hairball("Renaming '%s' to '%s'\n", state->file.temp_name, state->file.target_name);
    /* The target is replaced in one step, so it is never missing. */
    *step = failed_renaming;
    int error = replace_with_scratch(state);
    if (error) {
        note_scratch_error(state, error);
        return state->error;
    }
    drop_scratch_name(state, 0);
    return 0;
}

int close_scratch_file(scratch_file *file) {
    if (!file) return 1;
    if (!file->stream) return 2;
    scratch_state *state = state_of(file);
    if (fflush(file->stream) != 0) note_scratch_error(state, errno);
    fclose(file->stream);
    file->stream = NULL;
    int result = 0;
    if (!file->target_name)
        result = 3;
    else if (!file->temp_name)
        result = 4;
    else {
        int step;
        int error = replace_target(state, &step);
        if (error) {
            if (!state->quiet) LK_REPORT(failure_reports[step], file->target_name, strerror(error));
            result = 1;
        }
    }
    discard_data(state);
    if (result == 0 || result == 1) release_names(file);
    return result;
}

void cleanup_scratch_file(scratch_file *file) {
    if (!file) return;
    if (file->stream) fclose(file->stream);
    file->stream = NULL;
    discard_data(state_of(file));
    release_names(file);
    cleanup_one(file);
}

/* ---- the tree's own writers ------------------------------------------------------------- */

void set_scratch_faults(const scratch_faults *injected) {
    static const scratch_faults none;
    faults = injected ? *injected : none;
}

int scratch_file_error(const scratch_file *file) {
    return file ? ((const scratch_state *)file)->error : 0;
}

int finish_scratch_file(scratch_file *file, int complete) {
    if (!file) return EINVAL;
    int error = scratch_file_error(file);
    state_of(file)->quiet = 1;
    if (complete && close_scratch_file(file) != 0) {
        error = scratch_file_error(file);
        if (!error) error = EIO;
    }
    cleanup_scratch_file(file);
    return error;
}

/* Writes size octets in pieces a typed write takes; nonzero when all went through. */
static int write_whole(FILE *stream, const void *bytes, size_t size) {
    const unsigned char *at = (const unsigned char *)bytes;
    while (size > 0) {
        uint32_t piece = size > (1u << 30) ? (1u << 30) : (uint32_t)size;
        if (write_arbitrary(stream, at, piece) != 0) return 0;
        at += piece;
        size -= piece;
    }
    return fflush(stream) == 0;
}

int replace_file_bytes(const char *path, const void *bytes, size_t size) {
    size_t failed;
    return replace_files_bytes(1, &path, &bytes, &size, &failed);
}

int replace_files_bytes(size_t count, const char *const *paths, const void *const *bytes,
                        const size_t *sizes, size_t *failed) {
    *failed = 0;
    if (count > UINT32_MAX / sizeof(scratch_file *)) return ENOMEM;
    scratch_file **files = (scratch_file **)alloc_one((uint32_t)(count * sizeof *files));
    if (!files) return ENOMEM;
    int error = 0;
    size_t i = 0;
    for (; i < count && !error; i++) {
        files[i] = open_scratch_file(paths[i]);
        if (!files[i])
            error = errno ? errno : EIO;
        else if (!write_whole(files[i]->stream, bytes[i], sizes[i]))
            error = scratch_file_error(files[i]) ? scratch_file_error(files[i]) : EIO;
    }
    if (error) {
        *failed = i - 1;
        for (size_t k = 0; k < i; k++)
            finish_scratch_file(files[k], 0);
        cleanup_one(files);
        return error;
    }
    for (size_t n = 1; n <= count; n++) {
        size_t k = n % count;
        int reason =
            error ? (finish_scratch_file(files[k], 0), 0) : finish_scratch_file(files[k], 1);
        if (reason) {
            error = reason;
            *failed = k;
        }
    }
    cleanup_one(files);
    return error;
}
