// SPDX-License-Identifier: MIT
// File status through POSIX stat, access and getcwd.
#include "viewer/files/file_status.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "viewer/files/paths.h"

int32_t file_exists(const char *path) {
    struct stat info {};
    return path && stat(path, &info) == 0 ? 1 : 0;
}

int32_t file_is_directory(const char *path) {
    struct stat info {};
    return path && stat(path, &info) == 0 && S_ISDIR(info.st_mode) ? 1 : 0;
}

int32_t file_write_refusal(const char *path) {
    struct stat info {};
    if (!path || stat(path, &info) != 0) return 0;
    if ((info.st_mode & 0222) == 0) return EACCES;
    return access(path, W_OK) == 0 ? 0 : errno;
}

std::string current_directory() {
    std::vector<char> buffer(path_capacity);
    return getcwd(buffer.data(), buffer.size()) ? std::string(buffer.data()) : std::string();
}
