// SPDX-License-Identifier: MIT
/* larkspur: the conversions between the UTF-8 the tree speaks and Windows' UTF-16. */
#include <windows.h>
#include <errno.h>
#include <stdio.h>
#include "memory.h"
#include "platform_file.h"
#include "utf16_win32.h"

wchar_t *wide_from_utf8(const char *text) {
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, NULL, 0);
    if (count <= 0) return NULL;
    wchar_t *wide = (wchar_t *)alloc_one((uint32_t)count * sizeof *wide);
    if (wide &&
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide, count) != count) {
        cleanup_one(wide);
        return NULL;
    }
    return wide;
}

char *utf8_from_wide(const wchar_t *text) {
    int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    if (count <= 0) return NULL;
    char *utf8 = (char *)alloc_one((uint32_t)count);
    if (utf8 && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, count, NULL, NULL) != count) {
        cleanup_one(utf8);
        return NULL;
    }
    return utf8;
}

FILE *open_utf8_path(const char *path, const char *mode) {
    wchar_t *wide_path = wide_from_utf8(path);
    wchar_t *wide_mode = wide_from_utf8(mode);
    FILE *stream = NULL;
    if (wide_path && wide_mode) {
        stream = _wfopen(wide_path, wide_mode);
        /* The C runtime calls a directory "Permission denied"; POSIX's word for it is the one
         * that tells the user what is wrong. */
        if (!stream && errno == EACCES) {
            const DWORD attributes = GetFileAttributesW(wide_path);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                errno = EISDIR;
        }
    } else {
        errno = EINVAL;
    }
    cleanup_one(wide_path);
    cleanup_one(wide_mode);
    return stream;
}
