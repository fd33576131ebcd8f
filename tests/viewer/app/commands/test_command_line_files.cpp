// SPDX-License-Identifier: MIT
// Files named on the viewer's command line: which arguments they are, the absolute paths they
// become, and their loading in order through the load commands, failures and all.
#include "command_fixture.h"

#include <unistd.h>

#include <filesystem>

#include "tests/fixtures/gltf_import_builder.h"
#include "viewer/app/open_files.h"

namespace {

// Runs the test body from directory, and goes back afterwards.
struct working_directory {
    std::string saved;
    explicit working_directory(const std::string &directory) {
        char here[4096];
        saved = getcwd(here, sizeof here) ? here : "/";
        EXPECT_EQ(chdir(directory.c_str()), 0) << directory;
    }
    ~working_directory() { (void)chdir(saved.c_str()); }
};

std::vector<command_line_file> files_of(std::vector<std::string> args) {
    args.insert(args.begin(), "tarvik");
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    return command_line_files(static_cast<int>(argv.size()), argv.data());
}

} // namespace

TEST_F(command_test, command_line_files_are_the_arguments_naming_files) {
    const std::string here = dir.path.string();
    const std::string body = character_file("body.tkm", 3);
    const std::string walk = animation_file("walk.TKA", 3, 4);
    const std::string gun = weapon_file("gun.tkm");
    write_file("--bones", {1}); // a file may not hide an option
    std::filesystem::create_directory(dir.path / "models");
    working_directory inside(here);

    const std::vector<command_line_file> files =
        files_of({"--bones", "body.tkm", "--NOMESH", "missing.tkm", "models", "", "--bones",
                  "./walk.TKA", gun, "--nomesh", "body.tkm"});
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0].path, body);
    EXPECT_EQ(files[0].name_offset, here.size() + 1);
    EXPECT_EQ(files[1].path, here + "/./walk.TKA");
    EXPECT_EQ(files[1].path.substr(files[1].name_offset), "walk.TKA");
    EXPECT_EQ(files[2].path, gun);
    EXPECT_EQ(files[3].path, body);

    EXPECT_EQ(absolute_path("/abs/a.tkm"), "/abs/a.tkm");
    EXPECT_EQ(absolute_path(""), "");
    EXPECT_EQ(absolute_path(std::string(5000, 'a')), "");
    EXPECT_EQ(file_name_offset("a.tkm"), 0);
    EXPECT_EQ(file_name_offset("/a.tkm"), 1);
    working_directory root("/");
    EXPECT_EQ(absolute_path("a.tkm"), "/a.tkm");
}

TEST_F(command_test, a_command_line_file_whose_path_is_too_long_is_told_and_left_out) {
    const std::string short_one = character_file("short.tkm", 3);
    const std::string body = character_file("body.tkm", 3);
    working_directory inside(dir.path.string());
    // Folders of 200 letters, each entered in turn (the system takes no longer path in one call),
    // until the file's full path passes what the viewer can hold.
    std::size_t depth = dir.path.string().size();
    int levels = 0;
    while (depth + 1 + std::string("body.tkm").size() < path_capacity) {
        const std::string folder(200, 'd');
        ASSERT_TRUE(std::filesystem::create_directory(folder));
        ASSERT_EQ(chdir(folder.c_str()), 0);
        depth += 1 + folder.size();
        ++levels;
    }
    std::filesystem::copy_file(body, "body.tkm");
    testing::internal::CaptureStderr();
    const std::vector<command_line_file> files = files_of({"body.tkm", short_one});
    const std::string err = testing::internal::GetCapturedStderr();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].path, short_one);
    EXPECT_EQ(err, "Path is too long to be loaded (at most " + std::to_string(path_capacity - 1) +
                       " characters): body.tkm\n");
    // Back out folder by folder, so that the fixture can remove them.
    std::filesystem::remove("body.tkm");
    for (int i = 0; i < levels; i++) {
        ASSERT_EQ(chdir(".."), 0);
        std::filesystem::remove(std::string(200, 'd'));
    }
}

TEST_F(command_test, command_line_files_load_in_order_through_the_load_commands) {
    const std::string walk = animation_file("walk.tka", 3, 4);
    const std::string body = character_file("body.tkm", 3);
    const std::string broken = write_file("broken.tkm", {1, 2, 3});
    const std::string gun = weapon_file("gun.tkm");
    const std::string chain = write_file(
        "chain.glb", gltf_fixture::glb(gltf_fixture::build(gltf_fixture::chain_model(3))));
    auto file = [](const std::string &path) {
        return command_line_file{path, file_name_offset(path)};
    };
    int32_t failed = 0;
    auto [out, err] = run([&] {
        // The animation before any character mesh has nothing to go with, as from a chooser.
        failed = open_command_line_files(
            {file(walk), file(chain), file(body), file(broken), file(gun), file(walk)});
    });
    EXPECT_EQ(failed, 2);
    // The glTF model was the character until the next one replaced it.
    EXPECT_NE(out.find("Loading mesh: " + chain + "\n"), std::string::npos) << out;
    EXPECT_EQ(err.find("glTF"), std::string::npos) << err;
    EXPECT_NE(err.find("Error loading TarvikMesh: "), std::string::npos) << err;
    EXPECT_NE(out.find("Loading mesh: " + body + "\nLoading mesh: " + broken +
                       "\nLoading mesh: " + gun + "\nLoading mesh: " + walk + "\n"),
              std::string::npos)
        << out;
    ASSERT_NE(app_state.mesh, nullptr);
    EXPECT_STREQ(app_state.mesh->name, "body.tkm");
    ASSERT_NE(app_state.weapon_mesh, nullptr);
    EXPECT_STREQ(app_state.weapon_mesh->name, "gun.tkm");
    ASSERT_NE(app_state.animation, nullptr);
    EXPECT_EQ(app_state.animation->num_frames, 4);
    EXPECT_EQ(app_state.rest_pose_animation, 0);
    // The choosers open where the files came from.
    EXPECT_EQ(app_state.mesh_directory, dir.path.string());
    EXPECT_EQ(app_state.animation_directory, dir.path.string());
}

// What a named file is comes from its first octets, as for the choosers: an animation under
// another name is still an animation, and a mesh named .tka still a mesh.
TEST_F(command_test, command_line_files_are_loaded_as_what_their_bytes_are) {
    const std::string body = character_file("body.tka", 3);
    const std::string walk = animation_file("walk.bin", 3, 4);
    auto file = [](const std::string &path) {
        return command_line_file{path, file_name_offset(path)};
    };
    int32_t failed = -1;
    auto [out, err] = run([&] { failed = open_command_line_files({file(body), file(walk)}); });
    EXPECT_EQ(failed, 0) << err;
    EXPECT_NE(out.find("Loading mesh: " + body + "\n"), std::string::npos) << out;
    ASSERT_NE(app_state.mesh, nullptr);
    EXPECT_STREQ(app_state.mesh->name, "body.tka");
    ASSERT_NE(app_state.animation, nullptr);
    EXPECT_EQ(app_state.animation->num_frames, 4);
}
