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

struct absolute_case {
    const char *path;
    bool on_windows;
    bool on_linux;
};
constexpr absolute_case absolute_cases[] = {
    {"/home/j/m.tkm", true, true},     {"C:\\SWAT 4\\m.tkm", true, false},
    {"c:/SWAT 4/m.tkm", true, false},  {"\\\\server\\share\\m.tkm", true, false},
    {"\\\\?\\C:\\m.tkm", true, false}, {"\\m.tkm", true, false},
    {"C:m.tkm", false, false}, // the current directory of drive C
    {"1:\\m.tkm", false, false},       {"Meshes\\m.tkm", false, false},
    {"m.tkm", false, false},           {"", false, false},
};

TEST(PathNames, AbsolutePathsAreThisSystems) {
    for (const absolute_case &c : absolute_cases) {
#ifdef _WIN32
        const bool expected = c.on_windows;
#else
        const bool expected = c.on_linux;
#endif
        EXPECT_EQ(is_absolute_on_this_system(c.path), expected) << c.path;
    }
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
