// SPDX-License-Identifier: MIT
// What a directory holds, for tests that a failed or killed save leaves nothing behind.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

// The names of the entries of dir.
inline std::set<std::string> names_in(const std::filesystem::path &dir) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

// Whether the filesystem under dir keeps files without a name (O_TMPFILE), with which a process
// killed while saving leaves nothing behind.
inline bool unnamed_files_work(const std::filesystem::path &dir) {
#ifdef _WIN32
    (void)dir;
    return false;
#else
    int fd = open(dir.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd < 0) return false;
    close(fd);
    return true;
#endif
}
