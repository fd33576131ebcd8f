// SPDX-License-Identifier: MIT
// The viewer's folders as a stack, and a scan of a source tree for an include that goes up it.
// The model core sits at the bottom; above it window, textures, render, gui and app, each of which
// may include its own folder and the ones below. app/app_state.h is the shared record: the upper
// layers read and write it, so they may include it; the core may not.
#pragma once

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace include_layers {

// A folder of viewer/ and its height in the stack.
struct layer {
    const char *folder;
    int height;
};
inline constexpr layer stack[] = {
    {"math", 0},   {"files", 0},    {"mesh", 0},    {"anim", 0}, {"scene", 0},
    {"ms3d", 0},   {"gltf", 0},     {"formats", 0}, // the model core
    {"window", 1}, {"textures", 2}, {"render", 3},  {"gui", 4},  {"app", 5},
};
inline constexpr const char *shared_record = "viewer/app/app_state.h";
inline constexpr int lowest_upper_layer = 1;

// The height of folder, or -1 for a folder the stack does not know.
inline int height_of(const std::string &folder) {
    for (const layer &l : stack)
        if (folder == l.folder) return l.height;
    return -1;
}

// What the scan found wrong: the file (relative to the tree), its line number and text, and why.
struct finding {
    std::string file;
    int line = 0;
    std::string text;
    std::string reason;
};

// The header a line includes when it names one under viewer/ ("viewer/gui/dialog.h"), else "".
inline std::string viewer_include(const std::string &line) {
    static const std::regex include(R"re(^\s*#\s*include\s*["<](viewer/[^">]+)[">])re");
    std::smatch found;
    return std::regex_search(line, found, include) ? found[1].str() : std::string();
}

// Why a file of folder from may not include header, or "" when it may.
inline std::string upward_reason(const std::string &from, const std::string &header) {
    const std::string rest = header.substr(std::string("viewer/").size());
    const std::string folder = rest.substr(0, rest.find('/'));
    const int to = height_of(folder), at = height_of(from);
    if (to < 0) return "names a folder outside the stack";
    if (to <= at) return "";
    if (header == shared_record && at >= lowest_upper_layer) return "";
    return "goes up from " + from + " to " + folder;
}

// Every upward include in the .cpp and .h files under root/viewer, and every folder there that
// the stack does not know.
inline std::vector<finding> scan(const std::filesystem::path &root) {
    namespace fs = std::filesystem;
    std::vector<finding> findings;
    for (const auto &folder : fs::directory_iterator(root / "viewer")) {
        if (!folder.is_directory()) continue;
        const std::string from = folder.path().filename().string();
        if (height_of(from) < 0) {
            findings.push_back({"viewer/" + from, 0, "", "a folder outside the stack"});
            continue;
        }
        for (const auto &entry : fs::recursive_directory_iterator(folder.path())) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            std::ifstream in(entry.path());
            std::string text;
            for (int number = 1; std::getline(in, text); ++number) {
                const std::string header = viewer_include(text);
                if (header.empty()) continue;
                const std::string reason = upward_reason(from, header);
                if (!reason.empty())
                    findings.push_back(
                        {fs::relative(entry.path(), root).generic_string(), number, text, reason});
            }
        }
    }
    return findings;
}

} // namespace include_layers
