// SPDX-License-Identifier: MIT
// Windows' directory services for texture discovery, through the wide calls so that every name
// reads as it is, whatever the system's code page.
#include "viewer/files/directory_search.h"

#include <windows.h>

#include <cerrno>

#include "viewer/files/file_status.h"
#include "viewer/files/wide_text_win32.h"

int enter_directory(const char *path) {
    const std::wstring wide = wide_text(path);
    if (!wide.empty() && SetCurrentDirectoryW(wide.c_str())) return 0;
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    default:
        return EIO;
    }
}

int is_missing_directory_error(int error) {
    return error == ENOENT || error == ENOTDIR;
}

int is_plain_file(const char *path) {
    return file_exists(path) && !file_is_directory(path);
}

int is_directory(const char *path) {
    return file_is_directory(path);
}

int list_directory(const char *directory, std::vector<std::string> &names) {
    std::wstring pattern = wide_text(directory);
    if (pattern.empty()) return 0;
    if (pattern.back() != L'\\' && pattern.back() != L'/') pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") names.push_back(utf8_text(name.c_str()));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return 1;
}

int same_name_any_case(const char *a, const char *b) {
    // The file system's own rule: letters of every script, compared as upper case, one by one.
    const std::wstring wide_a = wide_text(a), wide_b = wide_text(b);
    return CompareStringOrdinal(wide_a.c_str(), static_cast<int>(wide_a.size()), wide_b.c_str(),
                                static_cast<int>(wide_b.size()), TRUE) == CSTR_EQUAL;
}

int opening_tells_the_spelling() {
    // Windows opens a name in any letter case, so a name that opens may not be spelt as on disk:
    // only the listing tells.
    return 0;
}
