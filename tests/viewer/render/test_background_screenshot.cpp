// SPDX-License-Identifier: MIT
// The background image stretched over the window, and screenshots equal to the pixels shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "render_test.h"
#include "scene_builder.h"
#include "support/scratch_write.h"
#include "viewer/render/background.h"

namespace {

namespace fs = std::filesystem;
using test_images::colour;

// Quarters of a 64 x 32 picture as seen: red top left, green top right, blue bottom left,
// white bottom right.
colour quarter(int x, int y) {
    if (y < 16) return x < 32 ? colour{255, 0, 0} : colour{0, 255, 0};
    return x < 32 ? colour{0, 0, 255} : colour{255, 255, 255};
}

class background_test : public scene_test {
  protected:
    void TearDown() override {
        if (app_state.background_loaded) {
            GLuint texture = app_state.background_texture;
            glDeleteTextures(1, &texture);
        }
        scene_test::TearDown();
    }
    int32_t load(const std::string &file, std::string &said) {
        testing::internal::CaptureStdout();
        int32_t result = load_background((files / file).c_str());
        said = testing::internal::GetCapturedStdout();
        return result;
    }
    temp_dir files;
};

TEST_F(background_test, the_image_is_stretched_over_the_whole_window_the_right_way_up) {
    write_all(files / "back.bmp", test_images::bmp(64, 32, quarter));
    std::string said;
    ASSERT_EQ(load("back.bmp", said), 0);
    app_state.show_background = 1;
    draw_scene();
    EXPECT_RGB(gl_fixture::read_pixel(20, 460), 255, 0, 0);     // top left
    EXPECT_RGB(gl_fixture::read_pixel(620, 460), 0, 255, 0);    // top right
    EXPECT_RGB(gl_fixture::read_pixel(20, 20), 0, 0, 255);      // bottom left
    EXPECT_RGB(gl_fixture::read_pixel(620, 20), 255, 255, 255); // bottom right
    EXPECT_RGB(gl_fixture::read_pixel(300, 260), 255, 0, 0);
    EXPECT_RGB(gl_fixture::read_pixel(340, 220), 255, 255, 255);
}

TEST_F(background_test, the_model_is_drawn_over_the_background) {
    write_all(files / "back.tga", test_images::tga(8, 8, test_images::plain({0, 0, 255})));
    std::string said;
    ASSERT_EQ(load("back.tga", said), 0);
    app_state.show_background = 1;
    scene::builder b;
    b.run(scene::material_desc{}, b.triangle({-1, -1, 0}, {0, 1, 0}, {1, -1, 0}));
    app_state.mesh = b.build();
    draw_scene();
    EXPECT_RGB(scene::at(0, 0), 255, 255, 255);
    EXPECT_RGB(scene::at(3, 3), 0, 0, 255);
    // The pass leaves the render state as it found it.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
}

TEST_F(background_test, a_new_background_replaces_and_deletes_the_old_one) {
    write_all(files / "one.bmp", test_images::bmp(4, 4, test_images::plain({255, 0, 0})));
    write_all(files / "two.bmp", test_images::bmp(4, 4, test_images::plain({0, 255, 0})));
    std::string said;
    ASSERT_EQ(load("one.bmp", said), 0);
    uint32_t first = app_state.background_texture;
    EXPECT_EQ(said, "Loading background image '" + (files / "one.bmp") +
                        "': " + std::to_string(first) + "\nFreeing old background: no need\n");
    EXPECT_EQ(app_state.background_loaded, 1);

    ASSERT_EQ(load("two.bmp", said), 0);
    uint32_t second = app_state.background_texture;
    EXPECT_EQ(said, "Loading background image '" + (files / "two.bmp") +
                        "': " + std::to_string(second) +
                        "\nFreeing old background: " + std::to_string(first) + "\n");
    if (second != first) {
        EXPECT_FALSE(glIsTexture(first));
    }
    app_state.show_background = 1;
    draw_scene();
    EXPECT_RGB(gl_fixture::read_pixel(320, 240), 0, 255, 0);
}

TEST_F(background_test, an_image_that_will_not_load_keeps_the_old_background) {
    write_all(files / "one.bmp", test_images::bmp(4, 4, test_images::plain({255, 0, 0})));
    write_all(files / "broken.bmp", {'B', 'M', 0, 0});
    std::string said;
    ASSERT_EQ(load("one.bmp", said), 0);
    uint32_t first = app_state.background_texture;
    testing::internal::CaptureStderr();
    EXPECT_EQ(load("broken.bmp", said), 2);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(said,
              "Loading background image '" + (files / "broken.bmp") + "':  DevIL error code 1\n");
    EXPECT_EQ(app_state.background_texture, first);
    EXPECT_TRUE(glIsTexture(first));
    EXPECT_EQ(load("missing.bmp", said), 2);
}

TEST_F(background_test, switched_on_without_an_image_the_quad_is_plain_white) {
    app_state.show_background = 1;
    draw_scene();
    EXPECT_RGB(gl_fixture::read_pixel(5, 5), 255, 255, 255);
    EXPECT_RGB(gl_fixture::read_pixel(635, 475), 255, 255, 255);
}

TEST_F(background_test, nothing_is_drawn_while_off_or_while_a_quit_is_pending) {
    write_all(files / "back.bmp", test_images::bmp(4, 4, test_images::plain({0, 0, 255})));
    std::string said;
    ASSERT_EQ(load("back.bmp", said), 0);
    draw_scene();
    EXPECT_TRUE(scene::is_clear(gl_fixture::read_pixel(320, 240)));
    app_state.show_background = 1;
    app_state.quit_requested = 1;
    draw_scene();
    EXPECT_TRUE(scene::is_clear(gl_fixture::read_pixel(320, 240)));
}

// ---- screenshots

// The pixels of a bottom-up 24-bit BMP as RGB rows, bottom row first; empty when not that.
std::vector<unsigned char> bmp_pixels(const std::vector<unsigned char> &file, int &width,
                                      int &height) {
    auto u32 = [&](std::size_t at) {
        return static_cast<uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 |
                                     file[at + 3] << 24);
    };
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M') return {};
    width = static_cast<int>(u32(18));
    height = static_cast<int>(u32(22));
    const uint32_t offset = u32(10), bits = file[28];
    if (bits != 24 || height <= 0) return {};
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    if (offset + row * height > file.size()) return {};
    std::vector<unsigned char> rgb;
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++) {
            const unsigned char *p = &file[offset + y * row + x * 3];
            rgb.insert(rgb.end(), {p[2], p[1], p[0]});
        }
    return rgb;
}

TEST_F(background_test, a_screenshot_holds_exactly_the_pixels_shown) {
    write_all(files / "back.bmp", test_images::bmp(64, 32, quarter));
    std::string said;
    ASSERT_EQ(load("back.bmp", said), 0);
    app_state.show_background = 1;
    app_state.show_bones = 1;
    scene::builder b;
    b.bones = {{{0, 0, 0}, no_parent}, {{2, 1, 0}, 0}};
    b.run(scene::material_desc{}, b.triangle({-1, -1, 0}, {0, 1, 0}, {1, -1, 0}));
    app_state.mesh = b.build();

    // The shown frame was swapped away, as in the viewer; the capture draws it again.
    draw_frame();
    std::string path = files / "shot.bmp";
    ASSERT_EQ(take_screenshot(path.c_str()), 0);
    std::vector<unsigned char> shown = gl_fixture::read_rgb(0, 0, 640, 480);
    int width = 0, height = 0;
    std::vector<unsigned char> saved = bmp_pixels(read_all(path), width, height);
    ASSERT_EQ(width, 640);
    ASSERT_EQ(height, 480);
    ASSERT_EQ(saved.size(), shown.size());
    EXPECT_TRUE(saved == shown) << "the file differs from the window";
    EXPECT_NE(std::count(shown.begin(), shown.end(), 255), 0) << "a frame with content";
}

TEST_F(background_test, a_screenshot_does_not_depend_on_what_the_buffers_hold) {
    scene::builder b;
    b.run(scene::material_desc{}, b.triangle({-1, -1, 0}, {0, 1, 0}, {1, -1, 0}));
    app_state.mesh = b.build();
    draw_frame();
    // Whatever a swap leaves in the back buffer, the capture shows the scene.
    glClearColor(0.0f, 1.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(0.2f, 0.0f, 0.0f, 0.1f);
    std::string path = files / "shot.bmp";
    ASSERT_EQ(take_screenshot(path.c_str()), 0);
    int width = 0, height = 0;
    std::vector<unsigned char> saved = bmp_pixels(read_all(path), width, height);
    ASSERT_EQ(saved.size(), 640u * 480u * 3u);
    const std::size_t centre = (240u * 640u + 320u) * 3u, corner = 0;
    EXPECT_EQ(saved[centre], 255);
    EXPECT_EQ(saved[centre + 1], 255);
    EXPECT_EQ(saved[corner], 51) << "the clear colour, not the green left in the buffer";
    EXPECT_EQ(saved[corner + 1], 0);
}

TEST_F(background_test, a_screenshot_replaces_an_existing_file_and_leaves_no_scratch) {
    std::string path = files / "shot.bmp";
    write_all(path, {'o', 'l', 'd'});
    draw_frame();
    ASSERT_EQ(take_screenshot(path.c_str()), 0);
    EXPECT_GT(read_all(path).size(), 640u * 480u * 3u);
    EXPECT_EQ(std::distance(fs::directory_iterator(files.path), fs::directory_iterator{}), 1);
}

TEST_F(background_test, a_failed_save_reports_4_and_keeps_the_users_file) {
    std::string path = files / "shot.unknown";
    write_all(path, {'k', 'e', 'e', 'p'});
    EXPECT_EQ(take_screenshot(path.c_str()), 4);
    EXPECT_EQ(read_all(path), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(files.path), fs::directory_iterator{}), 1);
    std::string nowhere = files / "no-such-directory/shot.bmp";
    EXPECT_EQ(take_screenshot(nowhere.c_str()), 4);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(fs::exists(nowhere));
}

TEST_F(background_test, a_refused_write_gives_the_reason_and_keeps_the_users_file) {
    std::string path = files / "shot.bmp";
    write_all(path, {'k', 'e', 'e', 'p'});
    draw_frame();
    for (int reason : {ENOSPC, EFBIG, EIO})
        for (uint64_t limit : {uint64_t(0), uint64_t(5000), uint64_t(640 * 480 * 3)}) {
            SCOPED_TRACE(std::string(std::strerror(reason)) + " after " + std::to_string(limit));
            scratch_faults faults{limit, reason, 0, nullptr, nullptr};
            set_scratch_faults(&faults);
            int32_t result = take_screenshot(path.c_str());
            const int said = errno;
            set_scratch_faults(nullptr);
            EXPECT_EQ(result, 4);
            EXPECT_EQ(said, reason);
            EXPECT_EQ(read_all(path), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
            EXPECT_EQ(std::distance(fs::directory_iterator(files.path), fs::directory_iterator{}),
                      1);
        }
    fs::create_directory(files / "folder.bmp");
    EXPECT_EQ(take_screenshot((files / "folder.bmp").c_str()), 4);
    EXPECT_EQ(errno, EISDIR);
}

} // namespace
