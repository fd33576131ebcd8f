// SPDX-License-Identifier: MIT
// A scan for circles of includes among a tree's files. A file and its header are one unit (a
// .cpp that includes its own .h is no circle): a unit with code that reaches itself through the
// headers of others can only be built and understood together with them. A header without a .cpp
// holds no code to call; includes pass through it.
#pragma once

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace include_circles {

// The unit of a file: its path relative to root without the extension.
inline std::string unit_of(const std::filesystem::path &relative) {
    return relative.parent_path().generic_string() + "/" + relative.stem().string();
}

struct unit_graph {
    std::map<std::string, std::set<std::string>> includes; // unit -> units it includes
    std::set<std::string> with_code;                       // units that have a .cpp
};

// The units of the .cpp and .h files under root/folder for each folder, each with the units it
// includes: "viewer/..." names from the root, any other quoted name beside the including file.
inline unit_graph read_units(const std::filesystem::path &root,
                             const std::vector<std::string> &folders) {
    namespace fs = std::filesystem;
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    unit_graph graph;
    for (const std::string &folder : folders) {
        if (!fs::is_directory(root / folder)) continue;
        for (const auto &entry : fs::recursive_directory_iterator(root / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            const fs::path relative = fs::relative(entry.path(), root);
            const std::string from = unit_of(relative);
            graph.includes[from];
            if (extension == ".cpp") graph.with_code.insert(from);
            std::ifstream in(entry.path());
            std::string line;
            std::smatch found;
            while (std::getline(in, line)) {
                if (!std::regex_search(line, found, include)) continue;
                const std::string name = found[1].str();
                const fs::path target = name.rfind("viewer/", 0) == 0
                                            ? fs::path(name)
                                            : (relative.parent_path() / name).lexically_normal();
                const std::string to = unit_of(target);
                if (to != from) graph.includes[from].insert(to);
            }
        }
    }
    return graph;
}

// The units with code that unit reaches directly or through headers without code.
inline std::set<std::string> code_reached(const unit_graph &graph, const std::string &unit) {
    std::set<std::string> reached, passed;
    std::vector<std::string> pending(graph.includes.at(unit).begin(),
                                     graph.includes.at(unit).end());
    while (!pending.empty()) {
        const std::string next = pending.back();
        pending.pop_back();
        if (next == unit || !graph.includes.count(next)) continue;
        if (graph.with_code.count(next)) {
            reached.insert(next);
        } else if (passed.insert(next).second) {
            pending.insert(pending.end(), graph.includes.at(next).begin(),
                           graph.includes.at(next).end());
        }
    }
    return reached;
}

// One circle among the units with code, as the units in their order with the first repeated at
// the end; empty when there is none. Only units of the graph itself count.
inline std::vector<std::string> find_circle(const unit_graph &graph) {
    std::map<std::string, std::set<std::string>> edges;
    for (const std::string &unit : graph.with_code)
        edges[unit] = code_reached(graph, unit);
    enum class mark { unseen, open, done };
    std::map<std::string, mark> marks;
    std::vector<std::string> path;
    std::vector<std::string> circle;
    // Depth first; a unit reached again while still open closes a circle.
    auto visit = [&](auto &&self, const std::string &unit) -> bool {
        marks[unit] = mark::open;
        path.push_back(unit);
        for (const std::string &next : edges.at(unit)) {
            if (marks[next] == mark::open) {
                circle.assign(std::find(path.begin(), path.end(), next), path.end());
                circle.push_back(next);
                return true;
            }
            if (marks[next] == mark::unseen && self(self, next)) return true;
        }
        path.pop_back();
        marks[unit] = mark::done;
        return false;
    };
    for (const auto &entry : edges)
        if (marks[entry.first] == mark::unseen && visit(visit, entry.first)) return circle;
    return {};
}

} // namespace include_circles
