// SPDX-License-Identifier: MIT
// Walking the folders tkmtool check is given. A folder is known by its device and inode (its
// canonical path where the system has no inodes), so that links that loop are followed once.
#include "check_walk.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <utility>

namespace {

namespace fs = std::filesystem;

struct walk_state {
    std::vector<check_item> items;
    std::set<std::pair<unsigned long long, unsigned long long>> visited; // device, inode
    std::set<std::string> visited_paths; // where inodes tell nothing
};

// True the first time the folder at path is seen.
bool first_visit(walk_state &state, const std::string &path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && info.st_ino != 0)
        return state.visited.emplace(info.st_dev, info.st_ino).second;
    std::error_code ignored;
    fs::path canonical = fs::weakly_canonical(path, ignored);
    return state.visited_paths.insert(canonical.generic_string()).second;
}

bool is_folder(const std::string &path) {
    std::error_code ignored;
    return fs::is_directory(fs::status(path, ignored));
}

void walk_folder(walk_state &state, const std::string &path) {
    if (!first_visit(state, path)) return;
    std::error_code error;
    fs::directory_iterator listing(path, error);
    std::vector<std::string> names;
    for (; !error && listing != fs::directory_iterator(); listing.increment(error))
        names.push_back(listing->path().filename().generic_string());
    if (error) {
        state.items.push_back({path, false, error.value()});
        return;
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = path.empty() || path.back() == '/' ? path : path + "/";
    for (const std::string &name : names) {
        std::string child = prefix + name;
        if (is_folder(child))
            walk_folder(state, child);
        else
            state.items.push_back({child, false, 0});
    }
}

} // namespace

std::vector<check_item> walk_check_paths(const std::vector<std::string> &paths) {
    walk_state state;
    for (const std::string &path : paths) {
        if (is_folder(path))
            walk_folder(state, path);
        else
            state.items.push_back({path, true, 0});
    }
    return std::move(state.items);
}
