// SPDX-License-Identifier: MIT
// POSIX directory services for texture discovery; the viewer's only readdir/chdir user.
#include "viewer/files/directory_search.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int enter_directory(const char *path) {
    if (chdir(path) == 0) return 0;
    return errno;
}

int is_missing_directory_error(int error) {
    return error == ENOENT || error == ENOTDIR;
}

int is_plain_file(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && !S_ISDIR(info.st_mode);
}

int is_directory(const char *path) {
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

int list_directory(const char *directory, std::vector<std::string> &names) {
    DIR *listing = opendir(directory);
    if (!listing) return 0;
    while (const dirent *entry = readdir(listing))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    closedir(listing);
    return 1;
}

int same_name_any_case(const char *a, const char *b) {
    return strcasecmp(a, b) == 0;
}

int opening_tells_the_spelling() {
    // Names keep their case: a name that opens is spelt as on disk.
    return 1;
}
