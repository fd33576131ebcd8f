// SPDX-License-Identifier: MIT
/* larkspur: modules through LoadLibraryW, the program's place from GetModuleFileNameW. */
#include <windows.h>
#include <stdio.h>
#include <string.h>
#include "memory.h"
#include "platform_library.h"
#include "utf16_win32.h"

static char last_error[512];

/* Keeps the system's message for the last failure, in UTF-8, for platform_library_error. */
static void note_failure(void) {
    DWORD code = GetLastError();
    wchar_t text[256];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  code, 0, text, sizeof text / sizeof *text, NULL);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        length--;
    text[length] = L'\0';
    char *utf8 = length ? utf8_from_wide(text) : NULL;
    if (utf8) {
        strncpy(last_error, utf8, sizeof last_error - 1);
        cleanup_one(utf8);
    } else
        snprintf(last_error, sizeof last_error, "error %lu", (unsigned long)code);
}

void *platform_open_library(const char *path) {
    wchar_t *wide = wide_from_utf8(path);
    if (!wide) return NULL;
    HMODULE module = LoadLibraryW(wide);
    cleanup_one(wide);
    if (!module) note_failure();
    return (void *)module;
}

int platform_close_library(void *library) {
    return FreeLibrary((HMODULE)library) ? 0 : 1;
}

void *platform_library_symbol(void *library, const char *name) {
    FARPROC address = GetProcAddress((HMODULE)library, name);
    if (!address) note_failure();
    /* A function address as the data pointer the interface hands out, as dlsym does. */
    void *as_pointer;
    memcpy(&as_pointer, &address, sizeof as_pointer);
    return as_pointer;
}

const char *platform_library_error(void) {
    return last_error;
}

char *platform_program_directory(void) {
    wchar_t path[32768];
    DWORD length = GetModuleFileNameW(NULL, path, sizeof path / sizeof *path);
    if (length == 0 || length >= sizeof path / sizeof *path) return NULL;
    while (length > 0 && path[length - 1] != L'\\' && path[length - 1] != L'/')
        length--;
    path[length ? length - 1 : 0] = L'\0';
    return utf8_from_wide(path);
}
