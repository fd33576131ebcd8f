// SPDX-License-Identifier: MIT
/* larkspur: scratch files on POSIX systems.
 *
 * The data go to a file without a name (O_TMPFILE) in the target's directory. Only once they are
 * complete and on disk does the file get the temporary name (linkat through /proc/self/fd), which
 * is then renamed over the target, and the directory synced so that the new name survives a power
 * cut. Where the filesystem refuses unnamed files the temporary name is created at once. SIGINT,
 * SIGTERM and SIGHUP remove the registered names (SIGKILL and power cuts can still leave one). */
#define _GNU_SOURCE
#include <errno.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>
#include "file.h"
#include "scratch_platform.h"

int scratch_tick_count(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (int)(uint32_t)((uint64_t)now.tv_sec * 1000u + (uint64_t)now.tv_nsec / 1000000u);
}

int scratch_process_id(void) {
    return (int)getpid();
}

void remove_scratch_name(const char *name) {
    unlink(name);
}

void each_directory_entry(const char *directory, void (*each)(const char *name, void *context),
                          void *context) {
    DIR *listing = opendir(directory[0] ? directory : ".");
    if (!listing) return;
    for (struct dirent *entry; (entry = readdir(listing)) != NULL;)
        each(entry->d_name, context);
    closedir(listing);
}

/* EPERM means a process of another user runs under that id: not ended. */
int scratch_process_ended(long pid) {
    return kill((pid_t)pid, 0) != 0 && errno == ESRCH;
}

/* ---- the signals that end the process --------------------------------------------------- */

static const int caught_signals[3] = {SIGINT, SIGTERM, SIGHUP};
static struct sigaction previous_actions[3];
static int handled[3]; /* nonzero where the handler below stands in for previous_actions */

/* Removes every registered name, puts back the signal's earlier action and raises the signal
   again, so the process ends (or carries on) as it would have without scratch files. */
static void remove_scratch_names(int signal_number) {
    int saved = errno;
    remove_registered_names();
    for (int k = 0; k < 3; k++)
        if (caught_signals[k] == signal_number)
            sigaction(signal_number, &previous_actions[k], NULL);
    errno = saved;
    raise(signal_number);
}

void catch_endings(void) {
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

void release_endings(void) {
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

/* ---- the stream ------------------------------------------------------------------------- */

long put_scratch_octets(scratch_state *state, const char *octets, size_t size) {
    for (;;) {
        ssize_t moved = write(state->fd, octets, size);
        if (moved >= 0 || errno != EINTR) return (long)moved;
    }
}

/* Fewer octets than asked marks the stream as failed. */
static ssize_t write_through(void *cookie, const char *buffer, size_t size) {
    return (ssize_t)pass_scratch_octets((scratch_state *)cookie, buffer, size);
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
        if (print_scratch_name(&state->file, attempt + 1) < 0) return -1;
    }
}

/* Opens the file without a name in the target's directory, else under temp_name; 0 or -1. */
int create_scratch(scratch_state *state) {
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
    /* A write-protected target is not replaced behind the user's back, as Windows refuses a
       read-only one: the rename would replace it whatever its mode. A file with no write bit for
       anyone counts as protected for root too, whom access() lets write anything. */
    if (replacing && ((old.st_mode & 0222) == 0 || access(state->file.target_name, W_OK) != 0)) {
        if ((old.st_mode & 0222) == 0) errno = EACCES;
        return -1;
    }
    state->fd = -1;
    if (!scratch_faults_in_effect()->named_only) {
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
        if (take_scratch_name(state) != 0) {
            unlink(state->file.temp_name);
            errno = ENOMEM;
            return -1;
        }
    }
    /* The new file keeps the old one's permissions, as if it had been written in place. */
    if (replacing && S_ISREG(old.st_mode)) (void)fchmod(state->fd, old.st_mode & 0777);
    return 0;
}

FILE *open_scratch_stream(scratch_state *state) {
    cookie_io_functions_t through = {NULL, write_through, seek_through, keep_descriptor};
    return fopencookie(state, "wb", through);
}

/* ---- closing ---------------------------------------------------------------------------- */

int sync_scratch(scratch_state *state) {
    return fsync(state->fd) == 0 ? 0 : errno;
}

void close_scratch_descriptor(scratch_state *state) {
    if (state->fd >= 0) close(state->fd);
    state->fd = -1;
}

/* Gives the complete unnamed file the temporary name; 0, or the system's error. */
int name_scratch(scratch_state *state) {
    char descriptor_path[64];
    snprintf(descriptor_path, sizeof descriptor_path, "/proc/self/fd/%d", state->fd);
    for (int attempt = 0;; attempt++) {
        /* Registered first: a signal between the link and the rename still removes the name. */
        if (take_scratch_name(state) != 0) return ENOMEM;
        int linked =
            linkat(AT_FDCWD, descriptor_path, AT_FDCWD, state->disk_name, AT_SYMLINK_FOLLOW);
        /* Without /proc, a process allowed to (root) links the descriptor itself. */
        if (linked != 0 && errno == ENOENT)
            linked = linkat(state->fd, "", AT_FDCWD, state->disk_name, AT_EMPTY_PATH);
        if (linked == 0) return 0;
        int error = errno;
        drop_scratch_name(state, 0);
        if (error != EEXIST || attempt == 8) return error;
        if (print_scratch_name(&state->file, attempt + 1) < 0) return error;
    }
}

/* rename() replaces the target in one step, so the target is never missing; the directory is
   synced after it, or a power cut could bring back the old name. */
int replace_with_scratch(scratch_state *state) {
    if (rename(state->disk_name, state->file.target_name) != 0) return errno;
    char *directory = get_dirname(state->file.target_name);
    if (!directory) return 0;
    int fd = open(directory[0] ? directory : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    cleanup_one(directory);
    if (fd < 0) return 0;
    /* The rename has happened: a directory the filesystem cannot sync does not undo it. */
    (void)fsync(fd);
    close(fd);
    return 0;
}
