// SPDX-License-Identifier: MIT
// POSIX directory services for texture discovery; the viewer's only readdir/chdir user.
#include "viewer/files/directory_search.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "viewer/files/path_names.h"

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

namespace {

int is_wanted(const std::string &path, int want_directory) {
    return want_directory ? is_directory(path.c_str()) : is_plain_file(path.c_str());
}

#ifdef _WIN32
// Windows opens a name in any letter case, so a name that opens may not be spelt as on disk:
// only the listing tells.
constexpr bool opening_tells_the_spelling = false;
#else
constexpr bool opening_tells_the_spelling = true;
#endif

} // namespace

int find_name_case_blind(const char *directory, const char *name, std::string &found,
                         int want_directory) {
    if (!*name) return 0;
    std::string base = *directory ? directory : ".";
    std::string exact = joined_path(base, name);
    const bool opens = is_wanted(exact, want_directory);
    if (opens && opening_tells_the_spelling) {
        found = name;
        return 1;
    }
    DIR *listing = opendir(base.c_str());
    if (!listing) {
        if (opens) found = name;
        return opens;
    }
    std::string best;
    while (const dirent *entry = readdir(listing)) {
        if (strcasecmp(entry->d_name, name) != 0) continue;
        if (!best.empty() && best.compare(entry->d_name) <= 0) continue;
        if (!is_wanted(joined_path(base, entry->d_name), want_directory)) continue;
        best = entry->d_name;
    }
    closedir(listing);
    // A name the listing cannot show (in no code page it is read in) is kept as it was given.
    if (best.empty() && opens) best = name;
    if (best.empty()) return 0;
    found = best;
    return 1;
}
