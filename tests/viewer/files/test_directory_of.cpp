// SPDX-License-Identifier: MIT
// The folder a file is in and the stem of its name, the one answer every caller gets: a bare name
// is in the current directory (""), a file in the root keeps the root's separator.
#include <gtest/gtest.h>

#include <string>

#include "viewer/files/path_names.h"

namespace {

constexpr std::size_t unknown = std::string::npos;

struct directory_case {
    const char *path;
    std::size_t name_offset; // unknown: found from the separators
    const char *on_windows;
    const char *on_linux;
};

constexpr directory_case directory_cases[] = {
    {"name.tkm", unknown, "", ""},
    {"", unknown, "", ""},
    {"/x.tkm", unknown, "/", "/"},
    {"/home/user/x.tkm", unknown, "/home/user", "/home/user"},
    {"models/x.tkm", unknown, "models", "models"},
    {"models/", unknown, "models", "models"},
    {"C:\\SWAT 4\\x.tkm", unknown, "C:\\SWAT 4", ""},
    {"\\x.tkm", unknown, "\\", ""},
    {"D:/SWAT 4/Meshes\\x.tkm", unknown, "D:/SWAT 4/Meshes", "D:/SWAT 4"},
    // A file chooser says where the name starts.
    {"/home/user/x.tkm", 11, "/home/user", "/home/user"},
    {"x.tkm", 0, "", ""},
    {"/x.tkm", 1, "/", "/"},
    {"\\x.tkm", 1, "\\", "\\"},
    {"odd\\name.tkm", 4, "odd", "odd"},
    {"x.tkm", 9, "", ""},
};

TEST(DirectoryOf, IsTheFolderWithoutItsLastSeparator) {
    for (const directory_case &c : directory_cases) {
#ifdef _WIN32
        const char *expected = c.on_windows;
#else
        const char *expected = c.on_linux;
#endif
        EXPECT_EQ(directory_of(c.path, c.name_offset), expected)
            << c.path << " at " << c.name_offset;
    }
}

struct stem_case {
    const char *path;
    const char *stem;
};

constexpr stem_case stem_cases[] = {
    {"C:\\SWAT 4\\SWT_Walk.tka", "SWT_Walk"},
    {"/models/Rifle.tkm", "Rifle"},
    {"walk.ms3d", "walk"},
    {"model.old.glb", "model.old"},
    {"noextension", "noextension"},
    {".hidden", ".hidden"},
    {"dir.d/file", "file"},
    {"models/", ""},
    {"", ""},
};

TEST(StemOf, IsTheNameWithoutFolderAndLastExtension) {
    for (const stem_case &c : stem_cases)
        EXPECT_EQ(stem_of(c.path), c.stem) << c.path;
}

} // namespace
