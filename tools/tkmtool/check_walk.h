// SPDX-License-Identifier: MIT
// The files tkmtool check looks at: the paths given, folders walked recursively in sorted name
// order, each folder once however links lead back to it.
#pragma once

#include <string>
#include <vector>

// One path to check: a file, or a folder that could not be listed.
struct check_item {
    std::string path;
    bool named = false;   // given on the command line (a file of no known format is an error)
    int folder_error = 0; // a folder that could not be listed: the system's error number
};

// The items of paths, in the order given, each folder's entries in sorted name order.
std::vector<check_item> walk_check_paths(const std::vector<std::string> &paths);
