// SPDX-License-Identifier: MIT
// File status through Windows' wide calls, so that names in every script are found as they are.
#include "viewer/files/file_status.h"

#include <windows.h>

#include <cerrno>

#include "viewer/files/wide_text_win32.h"

namespace {

DWORD attributes_of(const char *path) {
    const std::wstring wide = wide_text(path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

} // namespace

int32_t file_exists(const char *path) {
    return attributes_of(path) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int32_t file_is_directory(const char *path) {
    const DWORD attributes = attributes_of(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

int32_t file_write_refusal(const char *path) {
    const DWORD attributes = attributes_of(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    // A folder is no file to replace; the read-only mark protects a file from every user.
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return EACCES;
    // Whether this user may write it, the file's own permissions tell: open it for writing and
    // let go at once, sharing everything, so that a reader elsewhere is no refusal.
    HANDLE file = CreateFileW(wide_text(path).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        return 0;
    }
    switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return EBUSY;
    default:
        return 0; // the writer will say what went wrong
    }
}

std::string current_directory() {
    const DWORD length = GetCurrentDirectoryW(0, nullptr);
    if (length == 0) return {};
    std::wstring wide(length, L'\0');
    const DWORD got = GetCurrentDirectoryW(length, wide.data());
    if (got == 0 || got >= length) return {};
    wide.resize(got);
    return utf8_text(wide.c_str());
}
