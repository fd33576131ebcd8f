// SPDX-License-Identifier: MIT
// The folder part of a path as each system reads it: Windows ends it at either separator, Linux
// only at '/', a backslash there being a letter of the name.
#include <gtest/gtest.h>

#include <string>

#include "viewer/files/path_names.h"

namespace {

constexpr std::size_t none = std::string::npos;

struct separator_case {
    const char *path;
    std::size_t on_windows;
    std::size_t on_linux;
};

constexpr separator_case separator_cases[] = {
    {"C:\\Users\\J\xc3\xbcrgen\\AppData\\Local\\Temp\\x.glb", 35, none},
    {"/home/user/models/x.tkm", 17, 17},
    {"D:/SWAT 4\\Meshes/x.tkm", 16, 16},
    {"D:/SWAT 4/Meshes\\x.tkm", 16, 9},
    {"odd\\name.tkm", 3, none},
    {"\\\\server\\share\\x.tkm", 14, none},
    {"name.tkm", none, none},
    {"", none, none},
};

TEST(PathNames, LastFolderSeparatorIsThisSystems) {
    for (const separator_case &c : separator_cases) {
#ifdef _WIN32
        const std::size_t expected = c.on_windows;
#else
        const std::size_t expected = c.on_linux;
#endif
        EXPECT_EQ(last_folder_separator(c.path), expected) << c.path;
    }
}

TEST(PathNames, StemIgnoresEitherSeparatorEverywhere) {
    EXPECT_EQ(stem_of("C:\\SWAT 4\\SWT_Walk.tka"), "SWT_Walk");
    EXPECT_EQ(stem_of("/models/Rifle.tkm"), "Rifle");
}

struct join_case {
    const char *folder;
    const char *on_windows;
    const char *on_linux;
};

// A folder and the name "m.glb" joined: one separator between them on each system.
constexpr join_case join_cases[] = {
    {"C:\\t4\\", "C:\\t4\\m.glb", "C:\\t4\\/m.glb"},
    {"C:\\t4", "C:\\t4/m.glb", "C:\\t4/m.glb"},
    {"C:\\", "C:\\m.glb", "C:\\/m.glb"},
    {"\\\\server\\share\\", "\\\\server\\share\\m.glb", "\\\\server\\share\\/m.glb"},
    {"/home/j/", "/home/j/m.glb", "/home/j/m.glb"},
    {"/home/j", "/home/j/m.glb", "/home/j/m.glb"},
    {"/", "/m.glb", "/m.glb"},
    {"", "m.glb", "m.glb"},
};

TEST(PathNames, JoinedPathsHaveOneSeparator) {
    for (const join_case &c : join_cases) {
#ifdef _WIN32
        const char *expected = c.on_windows;
#else
        const char *expected = c.on_linux;
#endif
        EXPECT_EQ(joined_path(c.folder, "m.glb"), expected) << c.folder;
    }
}

} // namespace
