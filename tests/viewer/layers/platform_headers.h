// SPDX-License-Identifier: MIT
// A scan of the viewer's sources for platform headers outside the platform files. A platform
// file says by the end of its name which system it speaks to (window_sdl.cpp, tool_windows_gtk.cpp)
// and may include that system's headers; every other file is written once for all systems.
#pragma once

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace platform_headers {

// A family of platform headers and how their include paths begin (compared without case).
struct family {
    const char *name;
    std::vector<const char *> prefixes;
};
inline const family families[] = {
    {"SDL", {"SDL/", "SDL2/", "SDL.h"}},
    {"GTK", {"gtk/", "gdk/", "gdk-pixbuf/", "glib", "gio/", "gobject/"}},
    {"X11", {"X11/"}},
    {"Win32",
     {"windows.h", "windowsx.h", "commdlg.h", "commctrl.h", "shellapi.h", "wingdi.h",
      "mmsystem.h"}},
    {"DevIL", {"IL/"}},
    {"OSMesa", {"GL/osmesa.h"}},
};

// The ends of platform file names, and the families each may include. Toolkits on X11 hand out
// X11 ids and records, so their files may use X11 too.
struct suffix {
    const char *end;
    std::vector<const char *> allowed;
};
inline const suffix suffixes[] = {
    {"_sdl", {"SDL", "X11"}}, {"_gtk", {"GTK", "X11"}}, {"_x11", {"X11"}}, {"_win32", {"Win32"}},
    {"_wgl", {"Win32"}},      {"_devil", {"DevIL"}},    {"_posix", {}},    {"_stb", {}},
    {"_osmesa", {"OSMesa"}},
};

struct finding {
    std::string file;
    int line = 0;
    std::string text;
    std::string family;
};

inline std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The family of the header a line includes, or "" for none (or no include).
inline std::string family_of(const std::string &line) {
    static const std::regex include(R"re(^\s*#\s*include\s*[<"]([^">]+)[">])re");
    std::smatch found;
    if (!std::regex_search(line, found, include)) return "";
    const std::string header = lower(found[1].str());
    for (const family &f : families)
        for (const char *prefix : f.prefixes)
            if (header.rfind(lower(prefix), 0) == 0) return f.name;
    return "";
}

// Whether the file (its path relative to the tree) may include headers of family.
inline bool may_include(const std::filesystem::path &file, const std::string &family_name) {
    const std::string stem = file.stem().string();
    for (const suffix &s : suffixes) {
        const std::string end = s.end;
        if (stem.size() <= end.size() || stem.compare(stem.size() - end.size(), end.size(), end))
            continue;
        for (const char *allowed : s.allowed)
            if (family_name == allowed) return true;
    }
    return false;
}

// Every include of a platform header in the .cpp and .h files under root/viewer by a file that
// may not include it.
inline std::vector<finding> scan(const std::filesystem::path &root) {
    namespace fs = std::filesystem;
    std::vector<finding> findings;
    for (const auto &entry : fs::recursive_directory_iterator(root / "viewer")) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".cpp" && extension != ".h") continue;
        const std::string file = fs::relative(entry.path(), root).generic_string();
        std::ifstream in(entry.path());
        std::string text;
        for (int number = 1; std::getline(in, text); ++number) {
            const std::string found = family_of(text);
            if (!found.empty() && !may_include(entry.path(), found))
                findings.push_back({file, number, text, found});
        }
    }
    return findings;
}

} // namespace platform_headers
