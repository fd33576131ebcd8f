// SPDX-License-Identifier: MIT
/* larkspur: modules through the dynamic loader, the program's place from /proc. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>
#include <unistd.h>
#include "memory.h"
#include "platform_library.h"

void *platform_open_library(const char *path) {
    return dlopen(path, RTLD_NOW);
}

int platform_close_library(void *library) {
    return dlclose(library);
}

void *platform_library_symbol(void *library, const char *name) {
    return dlsym(library, name);
}

const char *platform_library_error(void) {
    const char *reason = dlerror();
    return reason ? reason : "";
}

char *platform_program_directory(void) {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0 || (size_t)length >= sizeof path - 1) return NULL;
    path[length] = '\0';
    char *separator = strrchr(path, '/');
    size_t kept = separator ? (size_t)(separator - path) : 0;
    char *directory = (char *)alloc_one((uint32_t)kept + 1);
    if (directory) memcpy(directory, path, kept);
    return directory;
}
