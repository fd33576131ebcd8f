// SPDX-License-Identifier: MIT
// The case-blind name search of texture discovery over each system's own listing, with names in
// several scripts (UTF-8 in, UTF-8 out), on Linux and under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/temp_dir.h"
#include "viewer/files/directory_search.h"

namespace {

namespace fs = std::filesystem;

std::string utf8(const std::u8string &text) {
    return std::string(text.begin(), text.end());
}

// The file named by UTF-8 name in directory, made through the system's wide or narrow names.
void make_file(const fs::path &directory, const std::u8string &name) {
    std::ofstream(directory / fs::path(name)) << 'x';
}

std::string directory_of(const temp_dir &tree) {
    const std::u8string text = tree.path.generic_u8string();
    return utf8(text);
}

TEST(directory_search, names_in_other_scripts_are_found_as_spelt_on_disk) {
    temp_dir tree;
    make_file(tree.path, u8"Ärmel_Мир_日本.bmp");
    std::string found;
    ASSERT_EQ(find_name_case_blind(directory_of(tree).c_str(), utf8(u8"Ärmel_Мир_日本.bmp").c_str(),
                                   found),
              1);
    EXPECT_EQ(found, utf8(u8"Ärmel_Мир_日本.bmp"));
    EXPECT_EQ(find_name_case_blind(directory_of(tree).c_str(), "Armel.bmp", found), 0);
}

TEST(directory_search, another_letter_case_gives_the_disk_spelling) {
    temp_dir tree;
    make_file(tree.path, u8"Skin_Мир.BMP");
    std::string found;
    ASSERT_EQ(
        find_name_case_blind(directory_of(tree).c_str(), utf8(u8"skin_Мир.bmp").c_str(), found), 1);
    EXPECT_EQ(found, utf8(u8"Skin_Мир.BMP"));
#ifdef _WIN32
    // Windows' file names match in any case in every script, as its file system compares them.
    ASSERT_EQ(
        find_name_case_blind(directory_of(tree).c_str(), utf8(u8"SKIN_мИР.bmp").c_str(), found), 1);
    EXPECT_EQ(found, utf8(u8"Skin_Мир.BMP"));
#endif
}

TEST(directory_search, a_folder_is_found_only_when_a_folder_is_asked_for) {
    temp_dir tree;
    fs::create_directory(tree.path / fs::path(u8"Textures_日本"));
    std::string found;
    const std::string asked = utf8(u8"textures_日本");
    EXPECT_EQ(find_name_case_blind(directory_of(tree).c_str(), asked.c_str(), found), 0);
    ASSERT_EQ(find_name_case_blind(directory_of(tree).c_str(), asked.c_str(), found, 1), 1);
    EXPECT_EQ(found, utf8(u8"Textures_日本"));
    EXPECT_EQ(is_directory((directory_of(tree) + "/" + found).c_str()), 1);
    EXPECT_EQ(is_plain_file((directory_of(tree) + "/" + found).c_str()), 0);
}

} // namespace
