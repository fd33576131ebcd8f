// SPDX-License-Identifier: MIT
// Names made from a path for the user to read.
#include "viewer/files/path_names.h"

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
