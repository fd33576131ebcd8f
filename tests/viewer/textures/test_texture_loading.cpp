// SPDX-License-Identifier: MIT
// Loading texture images into OpenGL textures through DevIL, in the real window (Xvfb).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "fixtures/gl_fixture.h"
#include "viewer/mesh/mesh.h"
#include "viewer/textures/texture_loading.h"
#include "viewer/textures/test_images.h"

namespace {

namespace fs = std::filesystem;
using test_images::colour;

constexpr colour red = {255, 0, 0};
constexpr colour green = {0, 255, 0};
constexpr colour blue = {0, 0, 255};

// The texel at (x, y) of the level-0 image of texture, y counted from the first stored row.
colour texel(uint32_t texture, int x, int y) {
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    const uint8_t *p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
    return {p[0], p[1], p[2]};
}

bool same(colour a, colour b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// One texture name record as a reader makes it (the path is a counted-string block).
texture_name make_name(const std::string &path) {
    texture_name name{};
    name.length = static_cast<uint16_t>(path.size());
    name.path = alloc_counted_string(path.c_str(), name.length);
    std::size_t cut = path.find_last_of("\\/");
    name.base = name.path + (cut == std::string::npos || cut == 0 ? 0 : cut + 1);
    name.base_length = static_cast<uint16_t>(name.length - (name.base - name.path));
    return name;
}

class texture_loading : public gl_window_test {
  protected:
    void SetUp() override {
        gl_window_test::SetUp();
        start = fs::current_path();
    }
    void TearDown() override {
        release_gl_textures(&table);
        release_texture_names(static_cast<uint16_t>(names_count), names);
        fs::current_path(start);
    }
    void set_names(const std::vector<std::string> &paths) {
        names_count = paths.size();
        names = alloc_elements<texture_name>(static_cast<uint32_t>(paths.size()));
        for (std::size_t i = 0; i < paths.size(); i++)
            names[i] = make_name(paths[i]);
    }
    fs::path start;
    temp_dir tree;
    gl_texture_table table{};
    texture_name *names = nullptr;
    std::size_t names_count = 0;
};

TEST_F(texture_loading, bmp_and_tga_become_textures_the_right_way_up) {
    // Top row red, bottom row blue: OpenGL's first row is the bottom of the picture.
    auto rows = [](int, int y) { return y == 0 ? red : blue; };
    write_all(tree / "a.bmp", test_images::bmp(4, 2, rows));
    write_all(tree / "b.tga", test_images::tga(4, 2, rows));
    for (const char *file : {"a.bmp", "b.tga"}) {
        uint32_t slot = 0;
        ASSERT_EQ(load_image_texture(&slot, (tree / file).c_str()), 0) << file;
        EXPECT_NE(slot, 0u);
        EXPECT_TRUE(glIsTexture(slot));
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(static_cast<uint32_t>(bound), slot) << "the new texture is left bound";
        EXPECT_TRUE(same(texel(slot, 0, 0), blue)) << file;
        EXPECT_TRUE(same(texel(slot, 3, 1), red)) << file;
        GLuint name = slot;
        glDeleteTextures(1, &name);
    }
}

TEST_F(texture_loading, malformed_images_fail_with_1_and_leave_the_slot_alone) {
    std::vector<uint8_t> good = test_images::bmp(8, 8, test_images::plain(green));
    std::vector<uint8_t> truncated(good.begin(), good.begin() + 70);
    std::vector<uint8_t> bad_magic = good;
    bad_magic[0] = 'X';
    std::vector<uint8_t> huge = good; // claims 2^31-1 x 2^31-1 pixels
    huge[18] = huge[19] = huge[20] = huge[22] = huge[23] = huge[24] = 0xFF;
    huge[21] = huge[25] = 0x7F;
    std::vector<uint8_t> zero_size = good;
    for (int i = 18; i < 26; i++)
        zero_size[i] = 0;
    write_all(tree / "truncated.bmp", truncated);
    write_all(tree / "magic.bmp", bad_magic);
    write_all(tree / "huge.bmp", huge);
    write_all(tree / "zero.bmp", zero_size);
    write_all(tree / "text.tga", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    write_all(tree / "empty.bmp", {});
    for (const char *file :
         {"truncated.bmp", "magic.bmp", "huge.bmp", "zero.bmp", "text.tga", "empty.bmp"}) {
        uint32_t slot = 12345;
        EXPECT_EQ(load_image_texture(&slot, (tree / file).c_str()), 1) << file;
        EXPECT_EQ(slot, 12345u) << file;
    }
    uint32_t slot = 12345;
    EXPECT_EQ(load_image_texture(&slot, (tree / "missing.bmp").c_str()), 1);
    EXPECT_EQ(load_image_texture(&slot, nullptr), 1);
    // Earlier failures leave nothing behind that a good image would be blamed for.
    write_all(tree / "good.bmp", good);
    ASSERT_EQ(load_image_texture(&slot, (tree / "good.bmp").c_str()), 0);
    GLuint name = slot;
    glDeleteTextures(1, &name);
}

TEST_F(texture_loading,
       the_current_directory_is_tried_first_and_a_bad_file_there_stops_the_search) {
    fs::create_directory(tree.path / "mesh");
    write_all(tree / "mesh/Skin.bmp", test_images::bmp(2, 2, test_images::plain(green)));
    std::string directory = tree / "mesh";
    uint32_t slot = 0;

    fs::current_path(tree.path);
    write_all(tree / "skin.bmp", {'b', 'a', 'd'});
    EXPECT_EQ(find_and_load_texture(directory.c_str(), "skin.bmp", &slot), 1);
    EXPECT_EQ(slot, 0u);

    write_all(tree / "skin.bmp", test_images::bmp(2, 2, test_images::plain(red)));
    testing::internal::CaptureStdout();
    ASSERT_EQ(find_and_load_texture(directory.c_str(), "skin.bmp", &slot), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loaded skin.bmp\n");
    EXPECT_TRUE(same(texel(slot, 0, 0), red)) << "the current directory's file wins";
}

TEST_F(texture_loading, the_mesh_directory_is_searched_in_any_case_and_becomes_current) {
    fs::create_directory(tree.path / "mesh");
    write_all(tree / "mesh/Skin.bmp", test_images::bmp(2, 2, test_images::plain(green)));
    write_all(tree / "mesh/Broken.bmp", {'b', 'a', 'd'});
    std::string directory = tree / "mesh";
    fs::current_path(tree.path);
    uint32_t slot = 0;
    testing::internal::CaptureStdout();
    ASSERT_EQ(find_and_load_texture(directory.c_str(), "SKIN.BMP", &slot), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Loaded " + directory + "/Skin.bmp\n");
    EXPECT_TRUE(same(texel(slot, 1, 1), green));
    EXPECT_EQ(fs::current_path(), fs::canonical(directory));

    fs::current_path(tree.path);
    EXPECT_EQ(find_and_load_texture(directory.c_str(), "broken.bmp", &slot), 3);
    fs::current_path(tree.path);
    EXPECT_EQ(find_and_load_texture(directory.c_str(), "absent.bmp", &slot), 2);
}

TEST_F(texture_loading, load_textures_follows_the_search_order_and_counts_failures) {
    // mesh/: skin.bmp (for textures\Skin.BMP) and an undecodable Vest.bmp.
    // root/: Data/Gear/Vest.bmp, reachable only by the stored path data\gear\VEST.bmp.
    fs::create_directories(tree.path / "mesh");
    fs::create_directories(tree.path / "Data" / "Gear");
    write_all(tree / "mesh/skin.bmp", test_images::bmp(2, 2, test_images::plain(green)));
    write_all(tree / "mesh/Vest.bmp", {'b', 'a', 'd'});
    write_all(tree / "Data/Gear/Vest.bmp", test_images::bmp(2, 2, test_images::plain(blue)));
    std::string directory = tree / "mesh";
    std::string stored_vest = tree.path.string() + "\\data\\gear\\VEST.bmp";
    set_names({"textures\\Skin.BMP", stored_vest, "Missing.bmp"});
    fs::current_path(tree.path);

    testing::internal::CaptureStdout();
    int32_t failures = load_textures(3, names, &table, directory.c_str());
    std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(failures, 1);
    ASSERT_EQ(table.num_textures, 3u);
    EXPECT_EQ(table.loaded[0], 1u);
    EXPECT_EQ(table.loaded[1], 1u) << "beside the mesh it is broken, so the stored path serves";
    EXPECT_EQ(table.loaded[2], 0u);
    EXPECT_TRUE(same(texel(table.textures[0], 0, 0), green));
    EXPECT_TRUE(same(texel(table.textures[1], 0, 0), blue));
    EXPECT_EQ(said, "Loaded " + directory + "/skin.bmp\n" + "Loaded " + stored_vest + "\n" +
                        "Can't load texture \"Missing.bmp\"\n");
}

TEST_F(texture_loading, no_names_give_empty_arrays_and_no_failures) {
    EXPECT_EQ(load_textures(0, nullptr, &table, tree.path.c_str()), 0);
    EXPECT_EQ(table.num_textures, 0u);
    EXPECT_EQ(table.textures, nullptr) << "nothing that releasing an empty table would not free";
    EXPECT_EQ(table.loaded, nullptr);
}

TEST_F(texture_loading, disabled_textures_load_nothing_and_leave_the_table) {
    write_all(tree / "a.bmp", test_images::bmp(2, 2, test_images::plain(red)));
    set_names({"a.bmp", "b.bmp"});
    app_state.show_textures = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(load_textures(2, names, &table, tree.path.c_str()), 2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Textures are disabled: not even trying to load any!\n");
    EXPECT_EQ(table.num_textures, 0u);
    EXPECT_EQ(table.textures, nullptr);
}

TEST_F(texture_loading, reload_replaces_the_textures_and_ignores_a_reload_in_progress) {
    write_all(tree / "a.bmp", test_images::bmp(2, 2, test_images::plain(red)));
    tkm_mesh *mesh = create_mesh();
    ASSERT_NE(mesh, nullptr);
    std::string directory = tree.path.string();
    mesh->directory_length = static_cast<uint16_t>(directory.size());
    mesh->directory = alloc_counted_string(directory.c_str(), mesh->directory_length);
    mesh->num_texture_names = 1;
    mesh->texture_names = alloc_elements<texture_name>(1);
    mesh->texture_names[0] = make_name("textures\\A.BMP");

    testing::internal::CaptureStdout();
    ASSERT_EQ(load_textures(1, mesh->texture_names, &mesh->gl_textures, mesh->directory), 0);
    uint32_t first = mesh->gl_textures.textures[0];
    EXPECT_TRUE(same(texel(first, 0, 0), red));

    write_all(tree / "a.bmp", test_images::bmp(2, 2, test_images::plain(blue)));
    reloading_textures = 1;
    reload_textures(mesh);
    EXPECT_EQ(mesh->gl_textures.textures[0], first) << "a reload during a reload does nothing";
    reloading_textures = 0;

    reload_textures(mesh);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(reloading_textures, 0);
    ASSERT_EQ(mesh->gl_textures.num_textures, 1u);
    EXPECT_EQ(mesh->gl_textures.loaded[0], 1u);
    EXPECT_TRUE(same(texel(mesh->gl_textures.textures[0], 0, 0), blue));
    if (mesh->gl_textures.textures[0] != first) {
        EXPECT_FALSE(glIsTexture(first)) << "the old texture was deleted";
    }

    reload_textures(nullptr);
    release_mesh(mesh);
}

} // namespace
