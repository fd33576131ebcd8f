// SPDX-License-Identifier: MIT
// Names made from a path for the user to read.
#include "viewer/files/path_names.h"

#include <cctype>

std::size_t last_folder_separator(const std::string &path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.find_last_of('/');
#endif
}

std::string stem_of(const std::string &path) {
    // Paths stored on Windows keep their backslashes; either separator ends the directory.
    const std::string name = path.substr(path.find_last_of("/\\") + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string directory_of(const std::string &path, std::size_t name_offset) {
    if (name_offset == std::string::npos) {
        const std::size_t separator = last_folder_separator(path);
        name_offset = separator == std::string::npos ? 0 : separator + 1;
    }
    if (name_offset == 0 || name_offset > path.size()) return std::string();
    // A file in the root keeps its separator, so that files beside it are looked for there and
    // not in the current directory.
    const char first = path[0];
    if (name_offset == 1 && (first == '/' || first == '\\')) return std::string(1, first);
    return path.substr(0, name_offset - 1);
}

std::string joined_path(const std::string &folder, const std::string &name) {
    if (folder.empty()) return name;
    if (last_folder_separator(folder) == folder.size() - 1) return folder + name;
    return folder + '/' + name;
}

bool is_absolute_on_this_system(const std::string &path) {
    if (path.empty()) return false;
#ifdef _WIN32
    // "C:\x", "C:/x", "\\server\share", "\\?\C:\x" and a path from the drive's root ("\x").
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && (path[2] == '\\' || path[2] == '/');
    return drive || path[0] == '\\' || path[0] == '/';
#else
    return path[0] == '/';
#endif
}
