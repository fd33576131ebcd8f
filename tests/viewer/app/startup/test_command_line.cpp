// SPDX-License-Identifier: MIT
// The four options, their start values and how other arguments are treated.
#include <gtest/gtest.h>
#include <vector>

#include "viewer/app/app_state.h"
#include "viewer/app/command_line.h"

namespace {

// Parses args as a command line whose first word is the program name, from fresh start values.
void parse(std::vector<const char *> args) {
    app_state = app_state_record{};
    args.insert(args.begin(), "tarvik");
    parse_command_line(static_cast<int>(args.size()), const_cast<char **>(args.data()));
}

} // namespace

TEST(command_line, no_arguments_keeps_the_start_values) {
    parse({});
    EXPECT_EQ(app_state.show_bones, 0);
    EXPECT_EQ(app_state.show_mesh, 1);
    EXPECT_EQ(app_state.show_textures, 1);
    EXPECT_EQ(app_state.white_materials, 1);
    EXPECT_EQ(app_state.joystick_enabled, 1);
    EXPECT_EQ(app_state.window_width, 640);
    EXPECT_EQ(app_state.window_height, 480);
    EXPECT_EQ(app_state.camera_y, -40.0f);
    EXPECT_EQ(app_state.camera_z, -96.0f);
    EXPECT_EQ(app_state.camera_orientation[3], 1.0f);
    EXPECT_EQ(app_state.animation_paused, 1);
    EXPECT_EQ(app_state.cull_back_faces, 1);
    EXPECT_EQ(app_state.mesh_primitive, 4u);
    EXPECT_EQ(app_state.mesh_filter_index, 1u);
}

TEST(command_line, each_option_sets_its_flags) {
    parse({"--bones", "--nomesh"});
    EXPECT_EQ(app_state.show_bones, 1);
    EXPECT_EQ(app_state.show_mesh, 0);
    EXPECT_EQ(app_state.show_textures, 1);

    parse({"--notextures"});
    EXPECT_EQ(app_state.show_textures, 0);
    EXPECT_EQ(app_state.white_materials, 0);
    EXPECT_EQ(app_state.show_mesh, 1);

    parse({"--nojoystick"});
    EXPECT_EQ(app_state.joystick_enabled, 0);
}

TEST(command_line, case_matters_and_unknown_words_are_ignored) {
    parse({"--NOTEXTURES", "model.tkm", "--bone", "-bones", "--bones=1", ""});
    EXPECT_EQ(app_state.show_textures, 1);
    EXPECT_EQ(app_state.white_materials, 1);
    EXPECT_EQ(app_state.show_bones, 0);
    EXPECT_EQ(app_state.mesh, nullptr);
}

TEST(command_line, repeated_options_and_the_program_name_itself) {
    parse({"--bones", "--bones"});
    EXPECT_EQ(app_state.show_bones, 1);
    // The first word is the program's name, never an option.
    app_state = app_state_record{};
    const char *only[] = {"--nomesh"};
    parse_command_line(1, const_cast<char **>(only));
    EXPECT_EQ(app_state.show_mesh, 1);
}
