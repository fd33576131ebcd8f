// SPDX-License-Identifier: MIT
/* larkspur: scratch files that replace their target only when complete.
 *
 * Sections: names | named scratch files and the signals that end the process | the stream |
 *           opening | closing and abandoning | the tree's own writers
 *
 * The data go to a file without a name (O_TMPFILE) in the target's directory. Only once they are
 * complete and on disk does the file get the temporary name (linkat through /proc/self/fd), which
 * is then renamed over the target in one step: a process killed at any instant leaves the target
 * as it was and no other file. Where the filesystem refuses unnamed files the temporary name is
 * created at once; it is removed on every failure and, through the registry below, when SIGINT,
 * SIGTERM or SIGHUP end the process (SIGKILL and power cuts can still leave it there). A target
 * that is a device or a pipe cannot be replaced and is written in place. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#include "file.h"
#include "report.h"
#include "scratch_write.h"

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
} scratch_state;

static scratch_faults faults; /* all zero: the system's own behaviour */

static scratch_state *state_of(scratch_file *file) {
    return (scratch_state *)file;
}

static void note_error(scratch_state *state, int error) {
    if (!state->error) state->error = error ? error : EIO;
}

/* ---- names ------------------------------------------------------------------------------ */

/* Milliseconds of a monotonic clock: with the process id it keeps scratch names apart. */
static int tick_count(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int)(uint32_t)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
}

/* Prints directory, tick count (moved on by attempt, for a name some other file has taken),
   process id and base name into temp_name; negative when the print failed. */
static int print_temp_name(scratch_file *file, int attempt) {
    char *directory = get_dirname(file->target_name);
    char *base = get_basename(file->target_name);
    int printed = -1;
    if (directory && base)
        printed =
            snprintf(file->temp_name, strlen(file->target_name) + 129, "%s%d.%d.%s", directory,
                     (int)((unsigned)tick_count() + (unsigned)attempt), (int)getpid(), base);
    cleanup_one(directory);
    cleanup_one(base);
    return printed;
}

/* ---- named scratch files and the signals that end the process ---------------------------- */

/* Temporary names standing on disk, for the handler to remove. Slots are filled and emptied with
   atomic stores, so a handler running on any thread reads either a whole name or none. */
#define SCRATCH_SLOTS 64
static char *registered[SCRATCH_SLOTS];
static int num_registered;
static const int caught_signals[3] = {SIGINT, SIGTERM, SIGHUP};
static struct sigaction previous_actions[3];
static int handled[3]; /* nonzero where the handler below stands in for previous_actions */

/* Removes every registered name, puts back the signal's earlier action and raises the signal
   again, so the process ends (or carries on) as it would have without scratch files. */
static void remove_scratch_names(int signal_number) {
    int saved = errno;
    for (int i = 0; i < SCRATCH_SLOTS; i++) {
        char *name = __atomic_load_n(&registered[i], __ATOMIC_ACQUIRE);
        if (name) unlink(name);
    }
    for (int k = 0; k < 3; k++)
        if (caught_signals[k] == signal_number)
            sigaction(signal_number, &previous_actions[k], NULL);
    errno = saved;
    raise(signal_number);
}

static void catch_signals(void) {
    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = remove_scratch_names;
    sigemptyset(&action.sa_mask);
    for (int k = 0; k < 3; k++)
        sigaddset(&action.sa_mask, caught_signals[k]);
    for (int k = 0; k < 3; k++) {
        struct sigaction current;
        if (sigaction(caught_signals[k], NULL, &current) != 0) continue;
        /* An ignored signal ends nothing, and a process that ignores one keeps ignoring it. */
        if (current.sa_handler == SIG_IGN) continue;
        previous_actions[k] = current;
        handled[k] = sigaction(caught_signals[k], &action, NULL) == 0;
    }
}

static void release_signals(void) {
    for (int k = 0; k < 3; k++) {
        if (!handled[k]) continue;
        struct sigaction current;
        /* Only where the handler still stands: it gives the earlier action back when it runs. */
        if (sigaction(caught_signals[k], NULL, &current) == 0 &&
            current.sa_handler == remove_scratch_names)
            sigaction(caught_signals[k], &previous_actions[k], NULL);
        handled[k] = 0;
    }
}

/* Notes that disk_name now stands on disk. A full registry only costs the clean-up on signals. */
static void register_name(scratch_state *state) {
    state->slot = -1;
    for (int i = 0; i < SCRATCH_SLOTS; i++) {
        if (__atomic_load_n(&registered[i], __ATOMIC_ACQUIRE)) continue;
        if (num_registered++ == 0) catch_signals();
        __atomic_store_n(&registered[i], state->disk_name, __ATOMIC_RELEASE);
        state->slot = i;
        return;
    }
}

static void unregister_name(scratch_state *state) {
    if (state->slot < 0) return;
    __atomic_store_n(&registered[state->slot], (char *)NULL, __ATOMIC_RELEASE);
    state->slot = -1;
    if (--num_registered == 0) release_signals();
}

/* Gives disk_name to the file about to stand under temp_name; 0, or -1 out of memory. */
static int take_disk_name(scratch_state *state) {
    size_t length = strlen(state->file.temp_name);
    state->disk_name = (char *)alloc_one((uint32_t)length + 1);
    if (!state->disk_name) return -1;
    memcpy(state->disk_name, state->file.temp_name, length);
    register_name(state);
    return 0;
}

/* Forgets disk_name, removing the file under it when remove is set. */
static void drop_disk_name(scratch_state *state, int remove) {
    if (!state->disk_name) return;
    if (remove) unlink(state->disk_name);
    unregister_name(state);
    cleanup_one(state->disk_name);
    state->disk_name = NULL;
}

/* ---- the stream ------------------------------------------------------------------------- */

/* Every octet of every scratch file passes here: the system's error is kept for the caller's
   message, and the test faults fail a write once fail_after octets have gone through. */
static ssize_t write_through(void *cookie, const char *buffer, size_t size) {
    scratch_state *state = (scratch_state *)cookie;
    size_t allowed = size;
    if (faults.error) {
        uint64_t room = state->written < faults.fail_after ? faults.fail_after - state->written : 0;
        if (room < size) allowed = (size_t)room;
    }
    size_t done = 0;
    while (done < allowed) {
        ssize_t moved = write(state->fd, buffer + done, allowed - done);
        if (moved < 0 && errno == EINTR) continue;
        if (moved <= 0) {
            note_error(state, errno);
            break;
        }
        done += (size_t)moved;
    }
    state->written += done;
    if (done == allowed && allowed < size) {
        note_error(state, faults.error);
        errno = faults.error;
    }
    if (faults.on_write && done) faults.on_write(state->written, faults.context);
    /* Fewer octets than asked marks the stream as failed. */
    return (ssize_t)done;
}

static int seek_through(void *cookie, off64_t *offset, int whence) {
    off_t at = lseek(((scratch_state *)cookie)->fd, (off_t)*offset, whence);
    if (at < 0) return -1;
    *offset = at;
    return 0;
}

/* The descriptor outlives the stream: it names the file once the stream is closed. */
static int keep_descriptor(void *cookie) {
    (void)cookie;
    return 0;
}

/* ---- opening ---------------------------------------------------------------------------- */

/* Errors by which a filesystem (or an old kernel) says it keeps no unnamed files. */
static int refuses_unnamed(int error) {
    return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

/* Creates the file under temp_name, another name when that one is taken; the descriptor or -1. */
static int create_named(scratch_state *state) {
    for (int attempt = 0;; attempt++) {
        int fd = open(state->file.temp_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST || attempt == 8) return fd;
        if (print_temp_name(&state->file, attempt + 1) < 0) return -1;
    }
}

/* Opens the file without a name in the target's directory, else under temp_name; 0 or -1. */
static int create_file(scratch_state *state) {
    struct stat old;
    int replacing = stat(state->file.target_name, &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) {
        errno = EISDIR;
        return -1;
    }
    /* A device, pipe or socket cannot be replaced by a file: the data go straight to it. */
    if (replacing && !S_ISREG(old.st_mode)) {
        state->fd = open(state->file.target_name, O_WRONLY | O_CLOEXEC);
        state->direct = state->fd >= 0;
        return state->direct ? 0 : -1;
    }
    state->fd = -1;
    if (!faults.named_only) {
        char *directory = get_dirname(state->file.target_name);
        if (!directory) {
            errno = ENOMEM;
            return -1;
        }
        state->fd = open(directory[0] ? directory : ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        cleanup_one(directory);
        if (state->fd < 0 && !refuses_unnamed(errno)) return -1;
    }
    if (state->fd < 0) {
        state->fd = create_named(state);
        if (state->fd < 0) return -1;
        if (take_disk_name(state) != 0) {
            unlink(state->file.temp_name);
            errno = ENOMEM;
            return -1;
        }
    }
    /* The new file keeps the old one's permissions, as if it had been written in place. */
    if (replacing && S_ISREG(old.st_mode)) (void)fchmod(state->fd, old.st_mode & 0777);
    return 0;
}

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
    cleanup_one(directory);
    cleanup_one(base);
    if (print_temp_name(file, 0) < 0) {
        LK_REPORT("Can't set temp name\n");
        return abandon(file, NULL, NULL);
    }
    hairball("temp filename: %s\n", file->temp_name);
    if (create_file(state) == 0) {
        cookie_io_functions_t through = {NULL, write_through, seek_through, keep_descriptor};
        file->stream = fopencookie(state, "wb", through);
        if (file->stream) return file;
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
    drop_disk_name(state, 1);
    if (state->fd >= 0) close(state->fd);
    state->fd = -1;
}

/* Gives the complete unnamed file the temporary name; 0, or the system's error. */
static int name_unnamed(scratch_state *state) {
    char descriptor_path[64];
    snprintf(descriptor_path, sizeof descriptor_path, "/proc/self/fd/%d", state->fd);
    for (int attempt = 0;; attempt++) {
        /* Registered first: a signal between the link and the rename still removes the name. */
        if (take_disk_name(state) != 0) return ENOMEM;
        int linked =
            linkat(AT_FDCWD, descriptor_path, AT_FDCWD, state->disk_name, AT_SYMLINK_FOLLOW);
        /* Without /proc, a process allowed to (root) links the descriptor itself. */
        if (linked != 0 && errno == ENOENT)
            linked = linkat(state->fd, "", AT_FDCWD, state->disk_name, AT_EMPTY_PATH);
        if (linked == 0) return 0;
        int error = errno;
        drop_disk_name(state, 0);
        if (error != EEXIST || attempt == 8) return error;
        if (print_temp_name(&state->file, attempt + 1) < 0) return error;
    }
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
    if (!state->error && !state->direct && fsync(state->fd) != 0) note_error(state, errno);
    if (state->error || state->direct) return state->error;
    if (!state->disk_name) {
        *step = failed_naming;
        int error = name_unnamed(state);
        if (error) {
            note_error(state, error);
            return error;
        }
    }
    hairball("Renaming '%s' to '%s'\n", state->file.temp_name, state->file.target_name);
    /* rename() replaces the target in one step, so the target is never missing. */
    *step = failed_renaming;
    if (rename(state->disk_name, state->file.target_name) != 0) {
        note_error(state, errno);
        return state->error;
    }
    drop_disk_name(state, 0);
    return 0;
}

int close_scratch_file(scratch_file *file) {
    if (!file) return 1;
    if (!file->stream) return 2;
    scratch_state *state = state_of(file);
    if (fflush(file->stream) != 0) note_error(state, errno);
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
