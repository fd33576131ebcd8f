// SPDX-License-Identifier: MIT
// The animation load command: chooser request, no mesh, a matching and a mismatching skeleton.
#include "command_fixture.h"

#include <filesystem>

using command_fixture::requests;

TEST_F(command_test, animation_chooser_is_asked_with_the_animation_filters) {
    app_state.animation_filter_index = 3;
    run(load_animation_command);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].save, 0);
    EXPECT_EQ(requests[0].title, "Load TarvikAnimation");
    EXPECT_EQ(requests[0].initial_directory, dir.path.string());
    EXPECT_EQ(requests[0].filter_index, 3u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"TarvikAnimation files", "*.tka"},
        {"Officer animations", "SWT_*.tka"},
        {"Kid animations", "KID_*.tka"},
        {"Male character animations",
         "TAC_*.tka;BG1_*.tka;BG2_*.tka;BG3_*.tka;MH1_*.tka;MH2_*.tka"},
        {"Female character animations", "BF1_*.tka;FH1_*.tka;FH2_*.tka;PRH_*.tka"},
        {"All files", "*.*"},
        {"glTF 2.0 files", "*.gltf;*.glb"},
    };
    EXPECT_EQ(requests[0].filters, expected);
}

TEST_F(command_test, without_a_mesh_only_the_directory_is_remembered) {
    std::filesystem::create_directory(dir.path / "anims");
    std::string path = animation_file("anims/walk.tka", 52, 4);
    auto [out, err] = load_animation(path);
    EXPECT_EQ(app_state.animation, nullptr);
    EXPECT_EQ(app_state.animation_directory, (dir.path / "anims").string());
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
}

TEST_F(command_test, an_animation_of_the_same_skeleton_replaces_the_rest_pose) {
    load_mesh(character_file("SWT_a.tkm", 52));
    ASSERT_EQ(app_state.rest_pose_animation, 1);
    app_state.current_frame = 0;
    std::string path = animation_file("SWT_walk.tka", 52, 10);
    auto [out, err] = load_animation(path);

    EXPECT_NE(out.find("Loading mesh: " + path + "\n"), std::string::npos) << out;
    ASSERT_NE(app_state.animation, nullptr) << err;
    EXPECT_EQ(app_state.animation->num_frames, 10);
    EXPECT_EQ(app_state.rest_pose_animation, 0);
    EXPECT_EQ(app_state.current_frame, 0);

    // A second animation starts again at frame 0.
    app_state.current_frame = 7;
    tka_animation *first = app_state.animation;
    load_animation(animation_file("SWT_run.tka", 52, 12));
    EXPECT_NE(app_state.animation, first);
    EXPECT_EQ(app_state.animation->num_frames, 12);
    EXPECT_EQ(app_state.current_frame, 0);
}

TEST_F(command_test, an_animation_of_another_skeleton_is_refused_and_the_current_one_stays) {
    load_mesh(character_file("SWT_a.tkm", 52));
    load_animation(animation_file("SWT_walk.tka", 52, 10));
    tka_animation *walk = app_state.animation;
    app_state.current_frame = 6;

    auto [out, err] = load_animation(animation_file("KID_walk.tka", 40, 10));
    EXPECT_NE(out.find("Number of bones in animation (40) doesn't match mesh (52)\n"),
              std::string::npos)
        << out;
    EXPECT_NE(err.find("Error loading TarvikAnimation: 1\n"), std::string::npos) << err;
    EXPECT_EQ(app_state.animation, walk);
    EXPECT_EQ(app_state.current_frame, 6);
    EXPECT_EQ(app_state.rest_pose_animation, 0);

    // A file cut short in its frames is refused the same way.
    std::vector<uint8_t> bytes = encode_tka(turning_animation(chain_skeleton(52), 10));
    bytes.resize(bytes.size() - 20);
    auto [out_cut, err_cut] = load_animation(write_file("cut.tka", bytes));
    EXPECT_NE(err_cut.find("Error loading TarvikAnimation: "), std::string::npos) << err_cut;
    EXPECT_EQ(app_state.animation, walk);
}
