// SPDX-License-Identifier: MIT
// The textures list's lines and marks, path replacement and showing only some textures, on
// meshes built in memory.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/gui/gui_fixture.h"
#include "viewer/textures/texture_list.h"

namespace {

std::vector<std::string> texts(const std::vector<texture_list_line> &lines) {
    std::vector<std::string> out;
    for (const texture_list_line &line : lines)
        out.push_back(line.text);
    return out;
}

TEST(TextureList, MarksFollowTheLoadedFlags) {
    tkm_mesh *mesh = make_textured_mesh({"skin.bmp", "missing.tga", "vest.bmp"}, {1, 0, 1});
    testing::internal::CaptureStderr();
    std::vector<texture_list_line> lines = texture_list_lines(mesh);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(texts(lines),
              (std::vector<std::string>{"  skin.bmp", "! missing.tga", "  vest.bmp"}));
    for (uint32_t i = 0; i < lines.size(); i++)
        EXPECT_EQ(lines[i].index, i);
    release_mesh(mesh);
    EXPECT_TRUE(texture_list_lines(nullptr).empty());
}

TEST(TextureList, UnloadedTableWarnsOnlyWhileTexturesAreOn) {
    tkm_mesh *mesh = make_textured_mesh({"a.bmp", "b.bmp"}, {});
    app_state.show_textures = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(texts(texture_list_lines(mesh)), (std::vector<std::string>{"! a.bmp", "! b.bmp"}));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    app_state.show_textures = 1;
    testing::internal::CaptureStderr();
    texture_list_lines(mesh);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Warning: gui_generate_textures_list(): i = 0; tkm->gl_textures.num_textures = 0\n"
              "Warning: gui_generate_textures_list(): i = 1; tkm->gl_textures.num_textures = 0\n");
    release_mesh(mesh);
}

TEST(TextureList, ShorterTableMarksTheRestAndNamesIndexAndSize) {
    tkm_mesh *mesh = make_textured_mesh({"a.bmp", "b.bmp", "c.bmp"}, {1});
    app_state.show_textures = 1;
    testing::internal::CaptureStderr();
    EXPECT_EQ(texts(texture_list_lines(mesh)),
              (std::vector<std::string>{"  a.bmp", "! b.bmp", "! c.bmp"}));
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("i = 2; tkm->gl_textures.num_textures = 1\n"), std::string::npos) << err;
    release_mesh(mesh);
}

TEST(TextureList, ReplacementGivesEachSelectedNameThePathAndItsBase) {
    tkm_mesh *mesh = make_textured_mesh({"a.bmp", "b.bmp", "c.bmp"}, {});
    mesh->texture_names[2].hidden = 1;
    const uint32_t selected[] = {0, 2};
    ASSERT_EQ(replace_texture_paths(mesh, selected, "C:\\art\\new.bmp"), replace_done);
    for (uint32_t i : selected) {
        const texture_name &name = mesh->texture_names[i];
        EXPECT_STREQ(name.path, "C:\\art\\new.bmp");
        EXPECT_EQ(name.length, 14);
        EXPECT_STREQ(name.base, "new.bmp");
        EXPECT_EQ(name.base_length, 7);
        EXPECT_NE(mesh->texture_names[0].path, mesh->texture_names[2].path); // each owns its copy
    }
    EXPECT_EQ(mesh->texture_names[2].hidden, 1u);
    EXPECT_STREQ(mesh->texture_names[1].base, "b.bmp");
    release_mesh(mesh);
}

TEST(TextureList, IndicesBeyondTheMeshAreSkippedNotWritten) {
    tkm_mesh *mesh = make_textured_mesh({"a.bmp"}, {});
    const uint32_t selected[] = {5, 0};
    testing::internal::CaptureStderr();
    EXPECT_EQ(replace_texture_paths(mesh, selected, "/art/x.tga"), replace_done);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Texture 5"), std::string::npos);
    EXPECT_STREQ(mesh->texture_names[0].base, "x.tga");
    release_mesh(mesh);
}

TEST(TextureList, ShowOnlyHidesTheOthersAndListsTheShown) {
    tkm_mesh *mesh = make_textured_mesh({"a.bmp", "b.bmp", "c.bmp"}, {});
    const uint32_t first[] = {0};
    testing::internal::CaptureStdout();
    show_only_textures(mesh, first);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Showing only selected textures:\n  Texture 0: a.bmp\n");
    EXPECT_EQ(mesh->texture_names[0].hidden, 0u);
    EXPECT_EQ(mesh->texture_names[1].hidden, 1u);
    EXPECT_EQ(mesh->texture_names[2].hidden, 1u);

    const uint32_t all[] = {0, 1, 2};
    testing::internal::CaptureStdout();
    show_only_textures(mesh, all);
    testing::internal::GetCapturedStdout();
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(mesh->texture_names[i].hidden, 0u);
    release_mesh(mesh);
}

} // namespace
