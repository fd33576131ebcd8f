// SPDX-License-Identifier: MIT
// Texture path handling: absolute-path test, bounded joining, the case-blind search in the mesh's
// directory and the resolution of stored game paths. Directory services are in directory_search.
#include "viewer/files/texture_paths.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/messages.h"
#include "viewer/files/paths.h"
#include "viewer/files/directory_search.h"

namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

std::string with_native_separators(const char *path) {
    std::string converted = path;
    for (char &c : converted)
        if (c == '\\') c = '/';
    return converted;
}

// Copies text into buffer when it fits; otherwise reports the refusal and leaves "".
bool copy_bounded(char *buffer, std::size_t capacity, const std::string &text) {
    if (text.size() + 1 > capacity) {
        if (capacity > 0) buffer[0] = '\0';
        real_meow("Path too long (%zu characters, at most %zu): %s\n", text.size(), capacity - 1,
                  text.c_str());
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}

} // namespace

int32_t is_absolute_path(const char *path) {
    if (!path || !*path) return 0;
    if (is_separator(path[0])) return 1;
    bool letter = (path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z');
    return letter && path[1] == ':' && is_separator(path[2]) ? 1 : 0;
}

char *join_path(char *buffer, std::size_t capacity, const char *directory, const char *name) {
    if (!buffer || capacity == 0) return nullptr;
    if (!name) {
        buffer[0] = '\0';
        return buffer;
    }
    std::string joined;
    if (is_absolute_path(name) || !directory || !*directory) {
        joined = name;
    } else {
        joined = directory;
        // A directory given with its final separator does not get a second one.
        if (!is_separator(joined.back())) joined += '/';
        joined += name;
    }
    return copy_bounded(buffer, capacity, joined) ? buffer : nullptr;
}

int32_t find_texture_file(const char *directory, const char *name, char *buffer,
                          std::size_t capacity) {
    if (!directory) return texture_null_directory;
    if (!name) return texture_null_name;
    std::string where = *directory ? directory : ".";
    int error = enter_directory(where.c_str());
    if (error && where.find('\\') != std::string::npos) {
        std::string converted = with_native_separators(where.c_str());
        if (enter_directory(converted.c_str()) == 0) {
            where = converted;
            error = 0;
        }
    }
    if (error) {
        if (!is_missing_directory_error(error))
            real_meow("Can't open %s directory: %d\n", where.c_str(), error);
        return texture_directory_unusable;
    }
    std::string found;
    if (!find_name_case_blind(".", name, found)) return texture_not_there;
    // A relative directory has just become the current one, so joining it again would point one
    // level too deep: such a result is made from the directory we are now in.
    if (where != "." && !is_absolute_path(where.c_str())) {
        std::vector<char> here(path_capacity);
        if (!getcwd(here.data(), here.size())) return texture_path_too_long;
        where = here.data();
    }
    if (!join_path(buffer, capacity, where.c_str(), found.c_str())) return texture_path_too_long;
    return texture_found;
}

int32_t resolve_stored_path(const char *stored, char *buffer, std::size_t capacity) {
    std::string path = with_native_separators(stored ? stored : "");
    if (!path.empty() && !is_plain_file(path.c_str())) {
        // Walk the components, each in any letter case, as the game's own file system would.
        std::string walked = path[0] == '/' ? "/" : "";
        std::size_t start = 0;
        bool matched = true;
        while (matched && start <= path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string::npos) end = path.size();
            std::string part = path.substr(start, end - start);
            bool last = end == path.size();
            start = end + 1;
            if (part.empty() || part == ".") {
                if (last) matched = false;
                continue;
            }
            std::string found;
            const char *in = walked.empty() ? "." : walked.c_str();
            if (part == "..") {
                found = part;
                matched = !last;
            } else {
                matched = find_name_case_blind(in, part.c_str(), found, last ? 0 : 1) != 0;
            }
            if (!walked.empty() && walked.back() != '/') walked += '/';
            walked += found;
        }
        if (matched) path = walked;
    }
    return copy_bounded(buffer, capacity, path) ? 0 : 1;
}
