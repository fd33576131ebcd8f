// SPDX-License-Identifier: MIT
/* larkspur: loading shared libraries by name and looking functions up in them. */
#include <stdlib.h>
#include <string.h>
#include "library.h"
#include "platform_library.h"

int initialise_library_list(library_list *list) {
    list->count = 0;
    list->libraries = NULL;
    return 0;
}

library_handle *alloc_libraries(uint32_t count) {
    if (count == 0) return NULL;
    return (library_handle *)calloc(count, sizeof(library_handle));
}

library_handle load_library(const char *name, library_list *list) {
    if (!name) return NULL;
    library_handle library = platform_open_library(name);
    if (!list || !library || list->count == UINT32_MAX) return library;
    library_handle *grown = alloc_libraries(list->count + 1);
    if (!grown) return library;
    if (list->count) memcpy(grown, list->libraries, list->count * sizeof *grown);
    grown[list->count] = library;
    free(list->libraries);
    list->libraries = grown;
    list->count++;
    return library;
}

int unload_library(library_handle library, library_list *list) {
    if (!library) return 0;
    int result = platform_close_library(library) == 0 ? 0 : 1;
    if (!list || list->count == 0) return result;
    uint32_t at = 0;
    while (at < list->count && list->libraries[at] != library)
        at++;
    if (at == list->count) return result;
    if (list->count == 1) {
        free(list->libraries);
        list->libraries = NULL;
        list->count = 0;
        return result;
    }
    library_handle *shrunk = alloc_libraries(list->count - 1);
    if (!shrunk) return result;
    memcpy(shrunk, list->libraries, at * sizeof *shrunk);
    memcpy(shrunk + at, list->libraries + at + 1, (list->count - at - 1) * sizeof *shrunk);
    free(list->libraries);
    list->libraries = shrunk;
    list->count--;
    return result;
}

void *get_function(const char *name, library_handle library) {
    if (!name || !library) return NULL;
    return platform_library_symbol(library, name);
}

void *find_function(const char *name, const library_list *list) {
    if (!name || !list) return NULL;
    for (uint32_t i = 0; i < list->count; i++) {
        void *address = get_function(name, list->libraries[i]);
        if (address) return address;
    }
    return NULL;
}
