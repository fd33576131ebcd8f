// SPDX-License-Identifier: MIT
// The mesh save command: the target replaced whole, and failures that say why and leave the
// user's file as it was.
#include "command_fixture.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <regex>
#include <set>

#include "support/scratch_write.h"

#include "viewer/mesh/tkm_reader.h"

using command_fixture::notices;
using command_fixture::requests;

namespace {

std::set<std::string> files_in(const std::filesystem::path &directory) {
    std::set<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    return names;
}

// Reads path back with the viewer's reader; the mesh's bone and triangle counts, or -1 each.
std::pair<int, int> read_back(const std::string &path) {
    tkm_mesh *mesh = create_mesh();
    int code = read_tkm(mesh, path.c_str());
    std::pair<int, int> counts =
        code ? std::pair{-1, -1} : std::pair<int, int>{mesh->num_bones, mesh->num_triangles};
    release_mesh(mesh);
    return counts;
}

} // namespace

TEST_F(command_test, save_chooser_is_a_save_chooser_for_tkm_files) {
    load_mesh(character_file("source.tkm", 3));
    requests.clear();
    run([] { save_mesh_command(); });
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].save, 1);
    EXPECT_EQ(requests[0].title, "Save TarvikMesh");
    EXPECT_EQ(requests[0].initial_directory, dir.path.string());
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"TarvikMesh files", "*.tkm"}, {"All files", "*.*"}};
    EXPECT_EQ(requests[0].filters, expected);
}

TEST_F(command_test, saving_replaces_an_existing_file_whole) {
    load_mesh(character_file("source.tkm", 52));
    ASSERT_NE(app_state.mesh, nullptr);
    std::string target = write_file("target.tkm", std::vector<uint8_t>(50000, 0xAB));

    choose(target);
    auto [out, err] = run([] { save_mesh_command(); });
    EXPECT_EQ(out, "Wrote TKM " + target + "\n") << err;
    EXPECT_EQ(read_back(target), (std::pair{52, 52}));
    // Shorter than the old content: the file was replaced, not overwritten in place.
    EXPECT_LT(std::filesystem::file_size(target), 50000u);
    EXPECT_EQ(files_in(dir.path), (std::set<std::string>{"source.tkm", "target.tkm"}));
    EXPECT_TRUE(notices.empty());
}

TEST_F(command_test, saving_under_a_new_name_creates_it) {
    load_mesh(character_file("source.tkm", 40));
    choose(dir / "fresh"); // typed without extension: the chooser adds ".tkm"
    auto [out, err] = run([] { save_mesh_command(); });
    EXPECT_EQ(out, "Wrote TKM " + (dir / "fresh.tkm") + "\n") << err;
    EXPECT_EQ(read_back(dir / "fresh.tkm"), (std::pair{40, 40}));
    EXPECT_EQ(err, "");
}

TEST_F(command_test, the_new_file_keeps_the_old_ones_permissions) {
    load_mesh(character_file("source.tkm", 2));
    std::string target = write_file("shared.tkm", {1, 2, 3});
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    choose(target);
    run([] { save_mesh_command(); });
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(read_back(target), (std::pair{2, 2}));
}

TEST_F(command_test, a_failed_write_leaves_the_target_untouched_and_says_so) {
    load_mesh(character_file("source.tkm", 3));
    std::vector<uint8_t> old_bytes = {'o', 'l', 'd'};
    std::string target = write_file("keep.tkm", old_bytes);

    // A model name of length 0 cannot be written: the writer stops with code 4.
    uint16_t length = app_state.mesh->name_length;
    app_state.mesh->name_length = 0;
    choose(target);
    auto [out, err] = run([] { save_mesh_command(); });
    app_state.mesh->name_length = length;

    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].first, "Error code: 4!");
    EXPECT_EQ(notices[0].second, "Failed to write TKM");
    EXPECT_EQ(read_all(target), std::vector<unsigned char>(old_bytes.begin(), old_bytes.end()));
    // No half-written scratch file is left beside it.
    EXPECT_EQ(files_in(dir.path), (std::set<std::string>{"source.tkm", "keep.tkm"}));
    EXPECT_EQ(out.find("Wrote TKM"), std::string::npos);
}

TEST_F(command_test, a_directory_as_target_is_refused_with_the_reason) {
    load_mesh(character_file("source.tkm", 3));
    std::filesystem::create_directory(dir.path / "taken.tkm");
    choose(dir / "taken.tkm");
    auto [out, err] = run([] { save_mesh_command(); });

    EXPECT_EQ(out.find("Wrote TKM"), std::string::npos) << out;
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].first, "Error code: 1! (Is a directory)");
    EXPECT_EQ(files_in(dir.path), (std::set<std::string>{"source.tkm", "taken.tkm"}));
    EXPECT_TRUE(std::filesystem::is_directory(dir.path / "taken.tkm"));
}

TEST_F(command_test, a_refused_write_says_why_and_leaves_the_old_file_alone) {
    load_mesh(character_file("source.tkm", 52));
    const std::vector<uint8_t> old_bytes = {'o', 'l', 'd'};
    std::string target = write_file("keep.tkm", old_bytes);
    struct fault {
        int error;
        uint64_t after;
    };
    for (const fault &row : {fault{ENOSPC, 0}, fault{EDQUOT, 100}, fault{EIO, 2000}}) {
        SCOPED_TRACE(std::strerror(row.error));
        notices.clear();
        scratch_faults faults{row.after, row.error, 0, nullptr, nullptr};
        set_scratch_faults(&faults);
        choose(target);
        auto [out, err] = run([] { save_mesh_command(); });
        set_scratch_faults(nullptr);
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_TRUE(std::regex_match(
            notices[0].first,
            std::regex("Error code: [0-9]+! \\(" + std::string(std::strerror(row.error)) + "\\)")))
            << notices[0].first;
        EXPECT_EQ(out.find("Wrote TKM"), std::string::npos) << out;
        EXPECT_EQ(read_all(target), std::vector<unsigned char>(old_bytes.begin(), old_bytes.end()));
        EXPECT_EQ(files_in(dir.path), (std::set<std::string>{"source.tkm", "keep.tkm"}));
    }
}

TEST_F(command_test, without_a_mesh_save_says_so_before_any_chooser) {
    choose(dir / "empty.tkm");
    auto [out, err] = run([] { save_mesh_command(); });
    EXPECT_EQ(err, "No mesh loaded!\n");
    EXPECT_EQ(out, "");
    EXPECT_TRUE(requests.empty()) << "a chooser was shown";
    command_fixture::replies.clear();
    load_mesh(character_file("source.tkm", 3));
    run([] { save_mesh_command(); }); // the chooser is cancelled
    EXPECT_EQ(files_in(dir.path), (std::set<std::string>{"source.tkm"}));
}

TEST_F(command_test, with_only_a_weapon_loaded_save_writes_the_weapon) {
    load_mesh(weapon_file("rifle.tkm"));
    ASSERT_NE(app_state.weapon_mesh, nullptr);
    ASSERT_EQ(app_state.mesh, nullptr);
    choose(dir / "rifle_copy.tkm");
    auto [out, err] = run([] { save_mesh_command(); });
    EXPECT_EQ(out, "Wrote TKM " + (dir / "rifle_copy.tkm") + "\n") << err;
    tkm_mesh *copy = create_mesh();
    ASSERT_EQ(read_tkm(copy, (dir / "rifle_copy.tkm").c_str()), 0);
    EXPECT_EQ(copy->num_grips, 2);
    release_mesh(copy);

    // With a character beside it, Save writes the character.
    load_mesh(character_file("SWT_a.tkm", 52));
    choose(dir / "which.tkm");
    run([] { save_mesh_command(); });
    EXPECT_EQ(read_back(dir / "which.tkm"), (std::pair{52, 52}));
}

TEST_F(command_test, a_write_protected_target_is_kept_and_refused_with_the_notice) {
    load_mesh(character_file("source.tkm", 3));
    const std::vector<uint8_t> old_bytes = {'k', 'e', 'e', 'p'};
    std::string target = write_file("protected.tkm", old_bytes);
    ASSERT_EQ(chmod(target.c_str(), 0444), 0);
    choose(target);
    auto [out, err] = run([] { save_mesh_command(); });
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].first, target + " is write-protected: Permission denied!");
    EXPECT_EQ(notices[0].second, "Failed to write TKM");
    EXPECT_EQ(read_all(target), std::vector<unsigned char>(old_bytes.begin(), old_bytes.end()));
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0444u);
    EXPECT_EQ(files_in(dir.path), (std::set<std::string>{"source.tkm", "protected.tkm"}));
    EXPECT_EQ(out.find("Wrote TKM"), std::string::npos) << out;

    // Writable again, it is replaced as usual.
    ASSERT_EQ(chmod(target.c_str(), 0644), 0);
    choose(target);
    run([] { save_mesh_command(); });
    EXPECT_EQ(read_back(target), (std::pair{3, 3}));
}

TEST_F(command_test, paths_longer_than_the_old_260_characters_load_and_save_whole) {
    std::filesystem::path deep = dir.path;
    for (int i = 0; i < 6; i++)
        deep /= std::string(60, static_cast<char>('a' + i));
    std::filesystem::create_directories(deep);
    const std::string relative = std::filesystem::relative(deep, dir.path).string();
    std::string source = character_file(relative + "/SWT_deep.tkm", 52);
    ASSERT_GT(source.size(), 380u);

    auto [out, err] = load_mesh(source);
    ASSERT_NE(app_state.mesh, nullptr) << err;
    EXPECT_EQ(std::string(app_state.mesh->directory), deep.string());
    EXPECT_EQ(app_state.mesh_directory, deep.string());

    const std::string target = (deep / "SWT_deep_copy.tkm").string();
    choose(target);
    auto [save_out, save_err] = run([] { save_mesh_command(); });
    EXPECT_EQ(save_out, "Wrote TKM " + target + "\n") << save_err;
    EXPECT_EQ(read_back(target), (std::pair{52, 52}));
}
