// SPDX-License-Identifier: MIT
// The case-blind search of texture discovery, written once over the system's listing
// (directory_search_posix.cpp, directory_search_win32.cpp).
#include "viewer/files/directory_search.h"

#include <string>
#include <vector>

#include "viewer/files/path_names.h"

namespace {

int is_wanted(const std::string &path, int want_directory) {
    return want_directory ? is_directory(path.c_str()) : is_plain_file(path.c_str());
}

} // namespace

int find_name_case_blind(const char *directory, const char *name, std::string &found,
                         int want_directory) {
    if (!*name) return 0;
    std::string base = *directory ? directory : ".";
    std::string exact = joined_path(base, name);
    const bool opens = is_wanted(exact, want_directory);
    if (opens && opening_tells_the_spelling()) {
        found = name;
        return 1;
    }
    std::vector<std::string> names;
    if (!list_directory(base.c_str(), names)) {
        if (opens) found = name;
        return opens;
    }
    std::string best;
    for (const std::string &entry : names) {
        if (!same_name_any_case(entry.c_str(), name)) continue;
        if (!best.empty() && best.compare(entry) <= 0) continue;
        if (!is_wanted(joined_path(base, entry), want_directory)) continue;
        best = entry;
    }
    // A name the listing cannot show (in no code page it is read in) is kept as it was given.
    if (best.empty() && opens) best = name;
    if (best.empty()) return 0;
    found = best;
    return 1;
}
