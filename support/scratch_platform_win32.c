// SPDX-License-Identifier: MIT
/* larkspur: scratch files on Windows.
 *
 * Windows has no files without a name, so the scratch file is created under its temporary name
 * in the target's directory from the start. Once complete it is flushed to disk
 * (FlushFileBuffers) and put in the target's place: ReplaceFileW where there is a target,
 * MoveFileExW (replacing, written through) where there is none yet. Ctrl+C, Ctrl+Break and a
 * closed console remove the registered names (SetConsoleCtrlHandler); ending the process from
 * the task manager and power cuts can still leave one; the next save of the same target removes
 * it. The stream writes into a pipe whose octets a thread of the file's own passes on to it, so
 * that every write meets the same checks and faults as on POSIX. Every name is converted to UTF-16
 * at the call. */
#include <windows.h>
#include <errno.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include "file.h"
#include "scratch_platform.h"
#include "utf16_win32.h"

/* The errno values the shared messages print for the system's own error codes. */
static const struct {
    DWORD code;
    int error;
} error_numbers[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_SHARING_VIOLATION, EACCES},
    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_WRITE_PROTECT, EROFS},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_HANDLE_DISK_FULL, ENOSPC},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILENAME_EXCED_RANGE, ENAMETOOLONG},
    {ERROR_INVALID_NAME, EINVAL},
    {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_NOT_SAME_DEVICE, EXDEV},
};

static int error_number(DWORD code) {
    for (size_t i = 0; i < sizeof error_numbers / sizeof *error_numbers; i++)
        if (error_numbers[i].code == code) return error_numbers[i].error;
    return EIO;
}

int scratch_tick_count(void) {
    return (int)(uint32_t)GetTickCount64();
}

int scratch_process_id(void) {
    return (int)GetCurrentProcessId();
}

void remove_scratch_name(const char *name) {
    wchar_t *wide = wide_from_utf8(name);
    if (wide) DeleteFileW(wide);
    cleanup_one(wide);
}

void each_directory_entry(const char *directory, void (*each)(const char *name, void *context),
                          void *context) {
    size_t length = strlen(directory);
    char *pattern = (char *)alloc_one((uint32_t)length + 2);
    if (!pattern) return;
    memcpy(pattern, directory, length);
    pattern[length] = '*';
    wchar_t *wide = wide_from_utf8(pattern);
    cleanup_one(pattern);
    if (!wide) return;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide, &found);
    cleanup_one(wide);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        char *name = utf8_from_wide(found.cFileName);
        if (name) each(name, context);
        cleanup_one(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

/* A process that cannot be opened for want of rights still runs; a handle to one that has ended
   (someone still holds it) says so by its exit code. */
int scratch_process_ended(long pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, (DWORD)pid);
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    int ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

/* ---- the console events that end the process -------------------------------------------- */

/* Runs on a thread of its own; returning FALSE lets the next handler (the default one ends the
   process) run as it would have without scratch files. */
static BOOL WINAPI remove_on_console_event(DWORD event) {
    (void)event;
    remove_registered_names();
    return FALSE;
}

void catch_endings(void) {
    SetConsoleCtrlHandler(remove_on_console_event, TRUE);
}

void release_endings(void) {
    SetConsoleCtrlHandler(remove_on_console_event, FALSE);
}

/* ---- the stream ------------------------------------------------------------------------- */

/* Windows streams have no hooks for their writes, so the stream writes into a pipe and this
   thread takes the octets on to the file, as the POSIX stream's own write function does. Once the
   file refuses octets the thread closes the pipe, and the stream's next write fails. */
static DWORD WINAPI pump_octets(void *context) {
    scratch_state *state = (scratch_state *)context;
    HANDLE pipe = (HANDLE)state->pump_pipe;
    char octets[1 << 16];
    DWORD got = 0;
    while (ReadFile(pipe, octets, sizeof octets, &got, NULL))
        if (pass_scratch_octets(state, octets, got) < got) break;
    CloseHandle(pipe);
    return 0;
}

long put_scratch_octets(scratch_state *state, const char *octets, size_t size) {
    return _write(state->fd, octets, size > (1u << 30) ? (1u << 30) : (unsigned)size);
}

FILE *open_scratch_stream(scratch_state *state) {
    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, NULL, 0)) {
        errno = error_number(GetLastError());
        return NULL;
    }
    state->pump_pipe = read_end;
    state->pump = CreateThread(NULL, 0, pump_octets, state, 0, NULL);
    if (!state->pump) {
        errno = error_number(GetLastError());
        CloseHandle(read_end);
        CloseHandle(write_end);
        state->pump_pipe = NULL;
        return NULL;
    }
    /* From here on a closed write end ends the thread. */
    int fd = _open_osfhandle((intptr_t)write_end, _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(write_end);
        return NULL;
    }
    FILE *stream = _fdopen(fd, "wb");
    if (!stream) {
        _close(fd);
        return NULL;
    }
    /* Each pass through the pipe costs a round trip to the thread: a larger buffer makes fewer. */
    setvbuf(stream, NULL, _IOFBF, 1 << 16);
    return stream;
}

/* Waits for the thread to take the last octets on; the stream must be closed. */
static void end_pump(scratch_state *state) {
    if (!state->pump) return;
    WaitForSingleObject((HANDLE)state->pump, INFINITE);
    CloseHandle((HANDLE)state->pump);
    state->pump = NULL;
    state->pump_pipe = NULL;
}

/* ---- opening ---------------------------------------------------------------------------- */

/* Opens name (UTF-8) with _wopen's flags; the descriptor, or -1 with errno set. */
static int open_wide(const char *name, int flags, int mode) {
    wchar_t *wide = wide_from_utf8(name);
    if (!wide) {
        errno = EINVAL;
        return -1;
    }
    int fd = _wopen(wide, flags, mode);
    cleanup_one(wide);
    return fd;
}

/* The target's attributes; INVALID_FILE_ATTRIBUTES where there is none. */
static DWORD target_attributes(const char *name) {
    wchar_t *wide = wide_from_utf8(name);
    DWORD attributes = wide ? GetFileAttributesW(wide) : INVALID_FILE_ATTRIBUTES;
    cleanup_one(wide);
    return attributes;
}

/* Whether the file name at the end of path (after its folder or drive) holds a character Windows
   forbids in names: such a name is refused before anything is made, with one reason, where the
   system's calls would refuse it at some later step or take "name:x" for a stream of "name". */
static int has_forbidden_name(const char *path) {
    const char *name = path;
    for (const char *at = path; *at; at++)
        if (*at == '/' || *at == '\\') name = at + 1;
    if (name == path && ((path[0] | 0x20) >= 'a' && (path[0] | 0x20) <= 'z') && path[1] == ':')
        name = path + 2;
    for (; *name; name++)
        if ((unsigned char)*name < 32 || strchr("<>:\"|?*", *name)) return 1;
    return 0;
}

int create_scratch(scratch_state *state) {
    if (has_forbidden_name(state->file.target_name)) {
        errno = EINVAL;
        return -1;
    }
    DWORD old = target_attributes(state->file.target_name);
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EISDIR;
        return -1;
    }
    /* A read-only target is not replaced behind the user's back, as on POSIX a file without
       write permission is not. */
    if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY)) {
        errno = EACCES;
        return -1;
    }
    for (int attempt = 0;; attempt++) {
        state->fd = open_wide(state->file.temp_name,
                              _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                              _S_IREAD | _S_IWRITE);
        if (state->fd >= 0) break;
        if (errno != EEXIST || attempt == 8) return -1;
        if (print_scratch_name(&state->file, attempt + 1) < 0) return -1;
    }
    if (take_scratch_name(state) != 0) {
        close_scratch_descriptor(state);
        remove_scratch_name(state->file.temp_name);
        errno = ENOMEM;
        return -1;
    }
    return 0;
}

/* ---- closing ---------------------------------------------------------------------------- */

int sync_scratch(scratch_state *state) {
    end_pump(state);
    if (state->error) return state->error;
    HANDLE handle = (HANDLE)_get_osfhandle(state->fd);
    if (handle == INVALID_HANDLE_VALUE) return EBADF;
    return FlushFileBuffers(handle) ? 0 : error_number(GetLastError());
}

/* Every scratch file has its name from the start. */
int name_scratch(scratch_state *state) {
    (void)state;
    return 0;
}

void close_scratch_descriptor(scratch_state *state) {
    end_pump(state);
    if (state->fd >= 0) _close(state->fd);
    state->fd = -1;
}

int replace_with_scratch(scratch_state *state) {
    /* An open file cannot be moved. */
    close_scratch_descriptor(state);
    wchar_t *from = wide_from_utf8(state->disk_name);
    wchar_t *to = wide_from_utf8(state->file.target_name);
    int error = 0;
    if (!from || !to)
        error = EINVAL;
    else {
        /* ReplaceFileW wants full paths, and keeps the target's attributes and security. */
        wchar_t full_from[32768], full_to[32768];
        DWORD from_length = GetFullPathNameW(from, 32768, full_from, NULL);
        DWORD to_length = GetFullPathNameW(to, 32768, full_to, NULL);
        if (!from_length || from_length >= 32768 || !to_length || to_length >= 32768)
            error = ENAMETOOLONG;
        else {
            DWORD target = GetFileAttributesW(full_to);
            if (target != INVALID_FILE_ATTRIBUTES && (target & FILE_ATTRIBUTE_DIRECTORY))
                error = EISDIR;
            else if (target != INVALID_FILE_ATTRIBUTES) {
                if (!ReplaceFileW(full_to, full_from, NULL, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL,
                                  NULL))
                    error = error_number(GetLastError());
            } else if (!MoveFileExW(full_from, full_to,
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                error = error_number(GetLastError());
        }
    }
    cleanup_one(from);
    cleanup_one(to);
    return error;
}
