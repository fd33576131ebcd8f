// SPDX-License-Identifier: MIT
// Texture path pieces and the search of the mesh's directory, on temporary directory trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "viewer/files/texture_paths.h"

namespace {

namespace fs = std::filesystem;

void touch(const std::string &path) {
    write_all(path, {'x'});
}

// Every search changes the current directory: each test starts and ends where the suite began.
class texture_search : public ::testing::Test {
  protected:
    void SetUp() override { start = fs::current_path(); }
    void TearDown() override { fs::current_path(start); }
    fs::path start;
    temp_dir tree;
    std::vector<char> buffer = std::vector<char>(4096, '?');
};

TEST(is_absolute_path, separators_and_drive_letters) {
    EXPECT_EQ(is_absolute_path("/usr/share"), 1);
    EXPECT_EQ(is_absolute_path("\\textures\\a.bmp"), 1);
    EXPECT_EQ(is_absolute_path("C:\\swat\\a.bmp"), 1);
    EXPECT_EQ(is_absolute_path("z:/a.bmp"), 1);
    EXPECT_EQ(is_absolute_path("textures\\a.bmp"), 0);
    EXPECT_EQ(is_absolute_path("C:a.bmp"), 0);
    EXPECT_EQ(is_absolute_path("1:\\a.bmp"), 0);
    EXPECT_EQ(is_absolute_path("C"), 0);
    EXPECT_EQ(is_absolute_path(""), 0);
    EXPECT_EQ(is_absolute_path(nullptr), 0);
}

TEST(join_path, joins_with_slash_unless_name_is_absolute_or_directory_empty) {
    char buffer[64];
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "/models", "skin.bmp"), "/models/skin.bmp");
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "/models/", "skin.bmp"), "/models/skin.bmp");
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "/models", "/abs/skin.bmp"), "/abs/skin.bmp");
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "/models", "C:\\skin.bmp"), "C:\\skin.bmp");
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "", "skin.bmp"), "skin.bmp");
    EXPECT_STREQ(join_path(buffer, sizeof buffer, nullptr, "skin.bmp"), "skin.bmp");
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "/models", nullptr), "");
}

TEST(join_path, refuses_what_does_not_fit_instead_of_cutting_it) {
    char buffer[12];
    // "/ab/cdefghi" is 11 characters: it fits exactly with its terminator.
    EXPECT_STREQ(join_path(buffer, sizeof buffer, "/ab", "cdefghi"), "/ab/cdefghi");
    testing::internal::CaptureStderr();
    EXPECT_EQ(join_path(buffer, sizeof buffer, "/ab", "cdefghij"), nullptr);
    std::string said = testing::internal::GetCapturedStderr();
    EXPECT_STREQ(buffer, "");
    EXPECT_NE(said.find("Path too long"), std::string::npos) << said;
    EXPECT_NE(said.find("/ab/cdefghij"), std::string::npos) << said;
}

TEST_F(texture_search, null_arguments_give_their_codes) {
    EXPECT_EQ(find_texture_file(nullptr, "a.bmp", buffer.data(), buffer.size()), 1);
    EXPECT_EQ(find_texture_file(tree.path.c_str(), nullptr, buffer.data(), buffer.size()), 2);
}

TEST_F(texture_search, finds_a_name_in_any_letter_case_and_returns_the_disk_spelling) {
    touch(tree / "Skin.BMP");
    std::string directory = tree.path.string();
    ASSERT_EQ(find_texture_file(directory.c_str(), "skin.bmp", buffer.data(), buffer.size()), 0);
    EXPECT_EQ(std::string(buffer.data()), directory + "/Skin.BMP");
    EXPECT_EQ(fs::current_path(), fs::canonical(tree.path)) << "the directory stays current";
}

TEST_F(texture_search, exact_spelling_wins_over_other_cases) {
    touch(tree / "skin.bmp");
    touch(tree / "SKIN.bmp");
    touch(tree / "Skin.bmp");
    std::string directory = tree.path.string();
    ASSERT_EQ(find_texture_file(directory.c_str(), "Skin.bmp", buffer.data(), buffer.size()), 0);
    EXPECT_EQ(std::string(buffer.data()), directory + "/Skin.bmp");
    // No exact match: the choice does not depend on the order of the directory listing.
    ASSERT_EQ(find_texture_file(directory.c_str(), "sKIN.BMP", buffer.data(), buffer.size()), 0);
    EXPECT_EQ(std::string(buffer.data()), directory + "/SKIN.bmp");
}

TEST_F(texture_search, directories_are_not_textures) {
    fs::create_directory(tree.path / "skin.bmp");
    EXPECT_EQ(find_texture_file(tree.path.c_str(), "skin.bmp", buffer.data(), buffer.size()), 4);
}

TEST_F(texture_search, missing_name_gives_4_and_missing_directory_3_without_a_message) {
    EXPECT_EQ(find_texture_file(tree.path.c_str(), "none.bmp", buffer.data(), buffer.size()), 4);
    testing::internal::CaptureStderr();
    std::string missing = tree / "no-such-directory";
    EXPECT_EQ(find_texture_file(missing.c_str(), "a.bmp", buffer.data(), buffer.size()), 3);
    touch(tree / "plain-file");
    std::string not_a_directory = tree / "plain-file";
    EXPECT_EQ(find_texture_file(not_a_directory.c_str(), "a.bmp", buffer.data(), buffer.size()), 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(texture_search, a_directory_that_cannot_be_entered_is_reported) {
    // A symbolic link to itself can be entered by nobody, not even root.
    std::string loop = tree / "loop";
    fs::create_directory_symlink(loop, loop);
    testing::internal::CaptureStderr();
    EXPECT_EQ(find_texture_file(loop.c_str(), "a.bmp", buffer.data(), buffer.size()), 3);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Can't open " + loop + " directory: " + std::to_string(ELOOP) + "\n");
}

TEST_F(texture_search, empty_directory_means_the_current_one) {
    touch(tree / "Face.tga");
    fs::current_path(tree.path);
    ASSERT_EQ(find_texture_file("", "face.TGA", buffer.data(), buffer.size()), 0);
    EXPECT_STREQ(buffer.data(), "./Face.tga");
}

TEST_F(texture_search, a_relative_directory_gives_a_path_that_opens_from_where_the_search_ends) {
    fs::create_directories(tree.path / "models" / "textures");
    touch(tree / "models/textures/Arm.bmp");
    fs::current_path(tree.path);
    ASSERT_EQ(find_texture_file("models/textures", "arm.bmp", buffer.data(), buffer.size()), 0);
    EXPECT_TRUE(fs::is_regular_file(buffer.data())) << buffer.data();
    EXPECT_EQ(fs::path(buffer.data()).filename(), "Arm.bmp");
}

TEST_F(texture_search, a_directory_stored_with_backslashes_is_entered) {
    fs::create_directories(tree.path / "models" / "skins");
    touch(tree / "models/skins/leg.bmp");
    fs::current_path(tree.path);
    ASSERT_EQ(find_texture_file("models\\skins", "LEG.bmp", buffer.data(), buffer.size()), 0);
    EXPECT_TRUE(fs::is_regular_file(buffer.data())) << buffer.data();
}

TEST_F(texture_search, a_found_path_too_long_for_the_buffer_is_refused) {
    touch(tree / "skin.bmp");
    std::string directory = tree.path.string();
    std::vector<char> small(directory.size() + 5); // room for neither "/skin.bmp" nor its end
    testing::internal::CaptureStderr();
    EXPECT_EQ(find_texture_file(directory.c_str(), "skin.bmp", small.data(), small.size()), 5);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Path too long"), std::string::npos);
    EXPECT_STREQ(small.data(), "");
}

TEST_F(texture_search, stored_game_paths_resolve_through_backslashes_and_letter_case) {
    fs::create_directories(tree.path / "Data" / "Textures");
    touch(tree / "Data/Textures/Vest.bmp");
    fs::current_path(tree.path);
    ASSERT_EQ(resolve_stored_path("data\\TEXTURES\\vest.BMP", buffer.data(), buffer.size()), 0);
    EXPECT_STREQ(buffer.data(), "Data/Textures/Vest.bmp");
    std::string absolute = tree.path.string() + "\\data\\textures\\VEST.bmp";
    ASSERT_EQ(resolve_stored_path(absolute.c_str(), buffer.data(), buffer.size()), 0);
    EXPECT_EQ(std::string(buffer.data()), tree.path.string() + "/Data/Textures/Vest.bmp");
}

TEST_F(texture_search, unresolvable_stored_paths_come_back_with_converted_separators) {
    fs::current_path(tree.path);
    ASSERT_EQ(resolve_stored_path("C:\\swat\\none.bmp", buffer.data(), buffer.size()), 0);
    EXPECT_STREQ(buffer.data(), "C:/swat/none.bmp");
    ASSERT_EQ(resolve_stored_path("", buffer.data(), buffer.size()), 0);
    EXPECT_STREQ(buffer.data(), "");
    char small[4];
    testing::internal::CaptureStderr();
    EXPECT_EQ(resolve_stored_path("abcd", small, sizeof small), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_STREQ(small, "");
}

} // namespace
