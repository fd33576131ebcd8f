// SPDX-License-Identifier: MIT
// Both image libraries side by side on files, without a window: the glTF export's reader turns
// each test image into PNG bytes of the same picture, top row first, with alpha where the file
// holds it; a converted model's images are encoded in each named format, the picture unchanged.
#include <IL/il.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/temp_dir.h"
#include "image_formats.h"
#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/textures/image_io.h"

namespace {

using image_formats::picture;
using image_formats::rgba;

// An encoded image decoded for the check: its channels and its pixels top row first.
struct decoded {
    int width = 0, height = 0, channels = 0;
    std::vector<rgba> pixels;
};

// The PNG, BMP, TGA or JPEG bytes decoded (DevIL guesses the type but for TGA, which has no
// signature); channels 0 when they do not decode.
decoded decode(const std::vector<uint8_t> &bytes, ILenum type = IL_TYPE_UNKNOWN) {
    ilInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    decoded out;
    if (ilLoadL(type, bytes.data(), ILuint(bytes.size()))) {
        const ILint format = ilGetInteger(IL_IMAGE_FORMAT);
        out.channels = format == IL_RGBA || format == IL_BGRA ? 4 : 3;
        if (ilConvertImage(IL_RGBA, IL_UNSIGNED_BYTE)) {
            out.width = ilGetInteger(IL_IMAGE_WIDTH);
            out.height = ilGetInteger(IL_IMAGE_HEIGHT);
            const auto *data = reinterpret_cast<const rgba *>(ilGetData());
            out.pixels.assign(data, data + out.width * out.height);
        }
    }
    ilDeleteImages(1, &name);
    ilDisable(IL_ORIGIN_SET);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return out;
}

std::vector<rgba> top_first(const picture &p, bool keeps_alpha) {
    std::vector<rgba> out = p.pixels;
    if (!keeps_alpha)
        for (rgba &c : out)
            c.a = 255;
    return out;
}

struct file_case {
    const char *name;
    picture shown;
    std::vector<uint8_t> bytes;
    bool keeps_alpha; // the format stores alpha (TGA with 8 alpha bits)
};

std::vector<file_case> file_cases() {
    using namespace image_formats;
    const picture p = pattern(4, 2);
    const picture odd = pattern(3, 5);
    const picture palette = four_colours(4, 2);
    return {
        {"rgb24.bmp", p, bmp(p, 24), false},
        {"top_down24.bmp", odd, bmp(odd, 24, true), false},
        {"rgb32.bmp", p, bmp(p, 32), false},
        {"palette8.bmp", palette, bmp(palette, 8), false},
        {"rgb24.tga", odd, tga(odd, 24), false},
        {"top_down32.tga", p, tga(p, 32, true), true},
        {"rle32.tga", p, tga(p, 32, false, true), true},
    };
}

const image_backend *const backends[] = {&devil_image_backend, &stb_image_backend};

TEST(image_backend_files, the_export_reader_gives_png_bytes_of_the_same_picture) {
    temp_dir files;
    for (const file_case &c : file_cases()) {
        write_all(files / c.name, c.bytes);
        for (const image_backend *backend : backends) {
            SCOPED_TRACE(std::string(c.name) + " with " + backend->name);
            EXPECT_TRUE(backend->read_image((files / c.name).c_str(), false, nullptr));
            std::vector<uint8_t> png;
            ASSERT_TRUE(backend->read_image((files / c.name).c_str(), true, &png));
            ASSERT_GE(png.size(), 8u);
            EXPECT_EQ(png[1], 'P');
            const decoded got = decode(png, IL_PNG);
            EXPECT_EQ(got.channels, c.keeps_alpha ? 4 : 3);
            EXPECT_EQ(got.width, c.shown.width);
            EXPECT_EQ(got.height, c.shown.height);
            EXPECT_TRUE(got.pixels == top_first(c.shown, c.keeps_alpha));
        }
    }
    write_all(files / "text.tga", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'});
    for (const image_backend *backend : backends) {
        SCOPED_TRACE(backend->name);
        std::vector<uint8_t> png;
        EXPECT_FALSE(backend->read_image((files / "text.tga").c_str(), true, &png));
        EXPECT_FALSE(backend->read_image((files / "missing.bmp").c_str(), false, nullptr));
    }
}

TEST(image_backend_files, a_converted_models_images_are_encoded_in_each_named_format) {
    const picture shown = image_formats::pattern(4, 2);
    // A glTF file's image, as PNG bytes, with alpha and without.
    struct source {
        std::vector<uint8_t> tga;
        bool alpha;
    };
    const source sources[] = {{image_formats::tga(shown, 32), true},
                              {image_formats::tga(shown, 24), false}};
    struct target {
        int32_t format;
        ILenum type;
        bool keeps_alpha;
    };
    const target targets[] = {{image_format_png, IL_PNG, true},
                              {image_format_bmp, IL_BMP, false},
                              {image_format_tga, IL_TGA, true}};
    temp_dir files;
    for (const source &s : sources) {
        write_all(files / "in.tga", s.tga);
        std::vector<uint8_t> png;
        ASSERT_TRUE(devil_image_backend.read_image((files / "in.tga").c_str(), true, &png));
        scene_image image{"skin.png", "image/png", png};
        for (const image_backend *backend : backends)
            for (const target &t : targets) {
                SCOPED_TRACE(std::string(backend->name) + " into format " +
                             std::to_string(t.format) + (s.alpha ? " with alpha" : ""));
                std::vector<uint8_t> out;
                ASSERT_TRUE(backend->encode_image(image, t.format, &out));
                const decoded got = decode(out, t.type);
                EXPECT_EQ(got.width, 4);
                EXPECT_EQ(got.height, 2);
                // A BMP of DevIL's and stb's holds alpha only in a layout they both read back as
                // opaque or not at all: only the colours are compared there.
                if (t.keeps_alpha) {
                    EXPECT_EQ(got.channels, s.alpha ? 4 : 3);
                    EXPECT_TRUE(got.pixels == top_first(shown, s.alpha));
                } else {
                    ASSERT_EQ(got.pixels.size(), shown.pixels.size());
                    for (std::size_t i = 0; i < got.pixels.size(); i++) {
                        rgba want = shown.pixels[i];
                        want.a = got.pixels[i].a;
                        EXPECT_EQ(got.pixels[i], want) << i;
                    }
                }
            }
        for (const image_backend *backend : backends) {
            SCOPED_TRACE(backend->name);
            std::vector<uint8_t> jpeg;
            ASSERT_TRUE(backend->encode_image(image, image_format_jpeg, &jpeg));
            const decoded got = decode(jpeg);
            EXPECT_EQ(got.channels, 3);
            EXPECT_EQ(got.width, 4);
            std::vector<uint8_t> out;
            EXPECT_FALSE(backend->encode_image(scene_image{"a.png", "image/png", {1, 2, 3}},
                                               image_format_png, &out));
        }
    }
}

} // namespace
