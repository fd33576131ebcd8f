// SPDX-License-Identifier: MIT
// Both image libraries side by side in the real window (Xvfb): each test image gives the texels
// its bytes define, bottom row first, with mipmaps; screenshots are bitmaps of exactly the pixels
// in the frame buffer, and a save that fails keeps the file that was there.
#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "fixtures/gl_fixture.h"
#include "image_formats.h"
#include "support/scratch_write.h"
#include "viewer/textures/image_io.h"

namespace {

namespace fs = std::filesystem;
using image_formats::picture;
using image_formats::rgba;

// ---- what a texture holds

struct texture_contents {
    GLint width = 0, height = 0, internal_format = 0;
    GLint level1_width = 0, level1_height = 0;
    std::vector<rgba> texels; // level 0, first row first
};

texture_contents contents(uint32_t texture) {
    texture_contents out;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &out.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &out.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &out.internal_format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &out.level1_width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_HEIGHT, &out.level1_height);
    out.texels.resize(static_cast<std::size_t>(out.width) * out.height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.texels.data());
    return out;
}

// The picture's texels as OpenGL counts rows (the bottom one first); alpha as the file keeps it,
// opaque otherwise.
std::vector<rgba> bottom_first(const picture &p, bool keeps_alpha) {
    std::vector<rgba> out;
    for (int y = p.height - 1; y >= 0; y--)
        for (int x = 0; x < p.width; x++) {
            rgba c = p.at(x, y);
            if (!keeps_alpha) c.a = 255;
            out.push_back(c);
        }
    return out;
}

// ---- the test images

struct image_case {
    const char *name; // the file name, whose extension picks the decoder
    picture shown;
    std::vector<uint8_t> bytes;
    bool keeps_alpha; // the format stores alpha (TGA with 8 alpha bits)
    GLint channels;   // the internal format the texture gets (3 RGB, 4 RGBA)
};

std::vector<image_case> image_cases() {
    using namespace image_formats;
    const picture p = pattern(4, 2);
    const picture tall = pattern(4, 8);
    const picture palette = four_colours(4, 2);
    // A 32-bit BMP's fourth octet is not alpha in the 40-octet header's BI_RGB layout, and a
    // palette entry's fourth octet is reserved: both are opaque.
    return {
        {"rgb24.bmp", p, bmp(p, 24), false, 3},
        {"top_down24.bmp", p, bmp(p, 24, true), false, 3},
        {"tall24.bmp", tall, bmp(tall, 24), false, 3},
        {"rgb32.bmp", p, bmp(p, 32), false, 3},
        {"palette8.bmp", palette, bmp(palette, 8), false, 4},
        {"rgb24.tga", p, tga(p, 24), false, 3},
        {"top_down24.tga", p, tga(p, 24, true), false, 3},
        {"rgba32.tga", p, tga(p, 32), true, 4},
        {"top_down32.tga", tall, tga(tall, 32, true), true, 4},
        {"rle24.tga", palette, tga(palette, 24, false, true), false, 3},
        {"rle32.tga", p, tga(p, 32, true, true), true, 4},
    };
}

const image_backend *const backends[] = {&devil_image_backend, &stb_image_backend};

class image_backends : public gl_window_test {
  protected:
    temp_dir files;
};

TEST_F(image_backends, every_test_image_gives_the_texels_its_bytes_define) {
    for (const image_case &c : image_cases()) {
        write_all(files / c.name, c.bytes);
        const std::vector<rgba> expected = bottom_first(c.shown, c.keeps_alpha);
        for (const image_backend *backend : backends) {
            SCOPED_TRACE(std::string(c.name) + " with " + backend->name);
            uint32_t texture = 0;
            ASSERT_EQ(backend->load_texture((files / c.name).c_str(), &texture), 0);
            ASSERT_NE(texture, 0u);
            GLint bound = 0;
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
            EXPECT_EQ(static_cast<uint32_t>(bound), texture) << "the new texture is left bound";
            const texture_contents got = contents(texture);
            EXPECT_EQ(got.width, c.shown.width);
            EXPECT_EQ(got.height, c.shown.height);
            EXPECT_EQ(got.internal_format, c.channels);
            EXPECT_EQ(got.level1_width, c.shown.width / 2) << "mipmaps were built";
            EXPECT_EQ(got.level1_height, c.shown.height / 2);
            EXPECT_TRUE(got.texels == expected);
            GLuint name = texture;
            glDeleteTextures(1, &name);
        }
    }
}

TEST_F(image_backends, textures_sample_as_devil_sets_them_up) {
    write_all(files / "a.bmp", image_formats::bmp(image_formats::pattern(4, 2), 24));
    for (const image_backend *backend : backends) {
        SCOPED_TRACE(backend->name);
        uint32_t texture = 0;
        ASSERT_EQ(backend->load_texture((files / "a.bmp").c_str(), &texture), 0);
        GLint value = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
        EXPECT_EQ(value, GL_REPEAT);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
        EXPECT_EQ(value, GL_REPEAT);
        GLuint name = texture;
        glDeleteTextures(1, &name);
    }
}

// A side that is no power of two comes to the nearest one through GLU's mipmap builder: the test
// builds the same from the picture it wrote, with GLU itself.
TEST_F(image_backends, a_side_that_is_no_power_of_two_is_scaled_as_glu_scales_it) {
    const picture shown = image_formats::pattern(3, 5);
    const picture wide = image_formats::pattern(5, 3);
    struct odd_case {
        const char *name;
        const picture &shown;
        std::vector<uint8_t> bytes;
        bool alpha;
    };
    const odd_case cases[] = {
        {"odd.bmp", shown, image_formats::bmp(shown, 24), false},
        {"odd.tga", wide, image_formats::tga(wide, 32), true},
    };
    for (const odd_case &c : cases) {
        write_all(files / c.name, c.bytes);
        std::vector<rgba> rows = bottom_first(c.shown, c.alpha);
        GLuint reference = 0;
        glGenTextures(1, &reference);
        glBindTexture(GL_TEXTURE_2D, reference);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        if (c.alpha) {
            gluBuild2DMipmaps(GL_TEXTURE_2D, 4, c.shown.width, c.shown.height, GL_RGBA,
                              GL_UNSIGNED_BYTE, rows.data());
        } else {
            std::vector<uint8_t> rgb;
            for (const rgba &t : rows)
                rgb.insert(rgb.end(), {t.r, t.g, t.b});
            gluBuild2DMipmaps(GL_TEXTURE_2D, 3, c.shown.width, c.shown.height, GL_RGB,
                              GL_UNSIGNED_BYTE, rgb.data());
        }
        const texture_contents expected = contents(reference);
        ASSERT_EQ(expected.width, 4);
        ASSERT_EQ(expected.height, 4);
        for (const image_backend *backend : backends) {
            SCOPED_TRACE(std::string(c.name) + " with " + backend->name);
            uint32_t texture = 0;
            ASSERT_EQ(backend->load_texture((files / c.name).c_str(), &texture), 0);
            const texture_contents got = contents(texture);
            EXPECT_EQ(got.width, 4);
            EXPECT_EQ(got.height, 4);
            EXPECT_EQ(got.level1_width, 2);
            EXPECT_TRUE(got.texels == expected.texels);
            GLuint name = texture;
            glDeleteTextures(1, &name);
        }
        glDeleteTextures(1, &reference);
    }
}

TEST_F(image_backends, files_that_do_not_decode_make_no_texture) {
    write_all(files / "text.tga", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    write_all(files / "empty.bmp", {});
    for (const image_backend *backend : backends)
        for (const char *name : {"text.tga", "empty.bmp", "missing.bmp"}) {
            SCOPED_TRACE(std::string(name) + " with " + backend->name);
            uint32_t texture = 12345;
            EXPECT_NE(backend->load_texture((files / name).c_str(), &texture), 0);
            EXPECT_EQ(texture, 12345u);
        }
}

// ---- screenshots

// A 24-bit BMP read back by its own definition: RGB rows bottom first, whatever the file's row
// order; empty when the file is not one.
struct bmp_picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

bmp_picture parse_bmp(const std::vector<uint8_t> &file) {
    auto u16 = [&](std::size_t at) { return uint32_t(file[at] | file[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    bmp_picture out;
    if (file.size() < 54 || file[0] != 'B' || file[1] != 'M' || u32(14) < 40) return out;
    if (u16(28) != 24 || u32(30) != 0 || u32(2) != file.size()) return {};
    const int32_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
    const int32_t rows = height < 0 ? -height : height;
    const std::size_t row = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
    const std::size_t offset = u32(10);
    if (width <= 0 || rows == 0 || offset + row * rows > file.size()) return out;
    out.width = width;
    out.height = rows;
    for (int32_t y = 0; y < rows; y++) {
        const std::size_t stored = height < 0 ? static_cast<std::size_t>(rows - 1 - y) : y;
        for (int32_t x = 0; x < width; x++) {
            const uint8_t *p = &file[offset + stored * row + static_cast<std::size_t>(x) * 3];
            out.rgb.insert(out.rgb.end(), {p[2], p[1], p[0]});
        }
    }
    return out;
}

// Something in every corner and the middle, drawn into the back buffer: flips and swaps show.
void draw_test_frame() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(0, 640, 0, 480);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glClearColor(0.2f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    struct block {
        float x, y, w, h;
        uint8_t r, g, b;
    };
    const block blocks[] = {{0, 0, 100, 50, 255, 0, 0},     {540, 0, 100, 50, 0, 255, 0},
                            {0, 430, 100, 50, 0, 0, 255},   {540, 430, 100, 50, 255, 255, 0},
                            {317, 237, 5, 7, 10, 120, 230}, {1, 1, 1, 1, 250, 250, 250}};
    glBegin(GL_QUADS);
    for (const block &b : blocks) {
        glColor3ub(b.r, b.g, b.b);
        glVertex2f(b.x, b.y);
        glVertex2f(b.x + b.w, b.y);
        glVertex2f(b.x + b.w, b.y + b.h);
        glVertex2f(b.x, b.y + b.h);
    }
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
    glFinish();
}

TEST_F(image_backends, a_screenshot_is_a_bitmap_of_exactly_the_back_buffer) {
    draw_test_frame();
    const std::vector<unsigned char> shown = gl_fixture::read_rgb(0, 0, 640, 480);
    const std::size_t dot = (640 + 1) * 3; // the one-pixel block at (1, 1)
    ASSERT_EQ(shown[dot], 250) << "the frame was drawn";
    ASSERT_EQ(shown[0], 255);
    for (const image_backend *backend : backends) {
        SCOPED_TRACE(backend->name);
        const std::string path = files / (std::string(backend->name) + ".bmp");
        ASSERT_EQ(backend->save_screen(path.c_str()), image_saved);
        const bmp_picture saved = parse_bmp(read_all(path));
        ASSERT_EQ(saved.width, 640);
        ASSERT_EQ(saved.height, 480);
        EXPECT_TRUE(saved.rgb == shown) << "the file differs from the frame buffer";
    }
    EXPECT_EQ(read_all(files / "DevIL.bmp"), read_all(files / "stb.bmp"))
        << "both libraries write the same file";
}

TEST_F(image_backends, a_screenshot_over_a_read_only_file_keeps_it) {
    draw_test_frame();
    for (const image_backend *backend : backends) {
        SCOPED_TRACE(backend->name);
        const std::string path = files / (std::string(backend->name) + ".bmp");
        write_all(path, {'o', 'l', 'd'});
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
        EXPECT_EQ(backend->save_screen(path.c_str()), image_not_saved);
        EXPECT_EQ(errno, EACCES);
        EXPECT_EQ(read_all(path), (std::vector<unsigned char>{'o', 'l', 'd'}));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(files.path), fs::directory_iterator{}), 2)
        << "no scratch file is left";
}

TEST_F(image_backends, a_refused_or_unknown_save_keeps_the_old_file_and_says_why) {
    draw_test_frame();
    for (const image_backend *backend : backends) {
        SCOPED_TRACE(backend->name);
        const std::string path = files / "shot.bmp";
        write_all(path, {'k', 'e', 'e', 'p'});
        scratch_faults faults{5000, ENOSPC, 0, nullptr, nullptr};
        set_scratch_faults(&faults);
        const int32_t result = backend->save_screen(path.c_str());
        const int said = errno;
        set_scratch_faults(nullptr);
        EXPECT_EQ(result, image_not_saved);
        EXPECT_EQ(said, ENOSPC);
        EXPECT_EQ(read_all(path), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));

        const std::string unknown = files / "shot.unknown";
        write_all(unknown, {'k', 'e', 'e', 'p'});
        EXPECT_EQ(backend->save_screen(unknown.c_str()), image_not_saved);
        EXPECT_EQ(read_all(unknown), (std::vector<unsigned char>{'k', 'e', 'e', 'p'}));
        EXPECT_EQ(std::distance(fs::directory_iterator(files.path), fs::directory_iterator{}), 2);
    }
}

} // namespace
