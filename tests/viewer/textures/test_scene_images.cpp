// SPDX-License-Identifier: MIT
// A converted model's images are written in the format their file names ask for, the picture
// unchanged and the right way up; bytes already in that format are written as they are.
#include <gtest/gtest.h>

#include <IL/il.h>

#include "common/temp_dir.h"
#include "test_images.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/image_files.h"
#include "viewer/textures/scene_images.h"

namespace {

namespace ti = test_images;

// Four colours in the quarters of a 4 × 2 picture, so that a flip or a mirror shows.
ti::colour quarters(int x, int y) {
    if (y == 0) return x < 2 ? ti::colour{255, 0, 0} : ti::colour{0, 255, 0};
    return x < 2 ? ti::colour{0, 0, 255} : ti::colour{255, 255, 0};
}

// The pixels of an encoded image as RGB rows, top row first; empty when DevIL cannot read it.
std::vector<uint8_t> pixels(const std::vector<uint8_t> &bytes) {
    ilInit();
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_UPPER_LEFT);
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    std::vector<uint8_t> out;
    if (ilLoadL(IL_TYPE_UNKNOWN, bytes.data(), ILuint(bytes.size())) &&
        ilConvertImage(IL_RGB, IL_UNSIGNED_BYTE)) {
        const ILubyte *data = ilGetData();
        out.assign(data, data + ilGetInteger(IL_IMAGE_WIDTH) * ilGetInteger(IL_IMAGE_HEIGHT) * 3);
    }
    ilDeleteImages(1, &name);
    ilDisable(IL_ORIGIN_SET);
    return out;
}

// The quarters picture as a PNG, as a glTF file holds it.
std::vector<uint8_t> png_quarters() {
    ilInit();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    const std::vector<uint8_t> bmp = ti::bmp(4, 2, quarters);
    EXPECT_TRUE(ilLoadL(IL_BMP, bmp.data(), ILuint(bmp.size())));
    std::vector<uint8_t> out(ilSaveL(IL_PNG, nullptr, 0));
    out.resize(ilSaveL(IL_PNG, out.data(), ILuint(out.size())));
    ilDeleteImages(1, &name);
    return out;
}

scene_image image(const std::string &file_name, std::vector<uint8_t> bytes) {
    scene_image out;
    out.file_name = file_name;
    out.mime_type = "image/png";
    out.bytes = std::move(bytes);
    return out;
}

TEST(scene_images, are_encoded_in_the_format_their_name_asks_for_the_right_way_up) {
    const std::vector<uint8_t> png = png_quarters();
    const std::vector<uint8_t> want = pixels(ti::bmp(4, 2, quarters));
    ASSERT_EQ(pixels(png), want);
    struct row {
        const char *name;
        std::vector<uint8_t> start; // the file's first bytes
    };
    const row rows[] = {{"skin.bmp", {'B', 'M'}},
                        {"SKIN.BMP", {'B', 'M'}},
                        {"face.tga", {0, 0, 2}}, // no colour map, uncompressed true colour
                        {"skin.png", {0x89, 'P', 'N', 'G'}}};
    for (const row &r : rows) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(encode_scene_image(image(r.name, png), &bytes)) << r.name;
        ASSERT_GE(bytes.size(), r.start.size());
        EXPECT_TRUE(std::equal(r.start.begin(), r.start.end(), bytes.begin())) << r.name;
        EXPECT_EQ(pixels(bytes), want) << r.name;
    }
    std::vector<uint8_t> same;
    ASSERT_TRUE(encode_scene_image(image("skin.png", png), &same));
    EXPECT_EQ(same, png); // taken as it is
    std::vector<uint8_t> jpeg;
    ASSERT_TRUE(encode_scene_image(image("photo.jpg", png), &jpeg));
    EXPECT_EQ(jpeg.at(0), 0xFF);
    EXPECT_EQ(jpeg.at(1), 0xD8);
    EXPECT_EQ(pixels(jpeg).size(), want.size());
}

TEST(scene_images, cannot_be_encoded_from_bytes_that_are_no_picture_or_into_other_formats) {
    std::vector<uint8_t> bytes;
    EXPECT_FALSE(encode_scene_image(image("skin.bmp", {1, 2, 3, 4}), &bytes));
    EXPECT_FALSE(encode_scene_image(image("skin.gif", png_quarters()), &bytes));
    EXPECT_FALSE(encode_scene_image(image("skin", png_quarters()), &bytes));
}

// Places images (as a model of those alone) beside the file beside and writes them, as a
// conversion does.
int write_scene_images(const std::vector<scene_image> &images, const std::string &beside,
                       scene_image_encoder encode) {
    scene_model scene;
    scene.images = images;
    scene_image_placing placing;
    placing.beside = beside;
    placing.encode = encode;
    place_scene_images(&scene, &placing);
    return write_placed_images(placing);
}

TEST(scene_images, are_written_beside_the_model_once_and_failures_are_counted) {
    temp_dir dir;
    const std::vector<scene_image> images = {image("skin.bmp", png_quarters()),
                                             image("skin.png", png_quarters())};
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_scene_images(images, dir / "model.tkm", encode_scene_image), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Wrote texture " + dir / "skin.bmp" + "\nWrote texture " + dir / "skin.png" + "\n");
    EXPECT_EQ(read_all(dir / "skin.png"), images[1].bytes);
    EXPECT_EQ(read_all(dir / "skin.bmp").at(0), 'B');
    testing::internal::CaptureStdout();
    EXPECT_EQ(write_scene_images(images, dir / "other.glb", encode_scene_image), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), ""); // already there: left alone
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_scene_images({image("bad.bmp", {1, 2, 3}), images[1]},
                                 dir / "no/such/model.tkm", encode_scene_image),
              2);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Can't write texture " + dir / "no/such/bad.bmp" +
                       ": its image cannot be converted\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("Can't write texture " + dir / "no/such/skin.png" +
                       ": No such file or directory\n"),
              std::string::npos)
        << err;
}

// Without an encoder (tkmtool without its image part) images already in their named format are
// still written; the others are reported, and nothing is written under their name.
TEST(scene_images, without_an_encoder_only_those_in_their_named_format_are_written) {
    temp_dir dir;
    std::vector<scene_image> images = {image("skin.png", png_quarters()),
                                       image("skin.bmp", png_quarters()),
                                       image("face.tga", png_quarters())};
    EXPECT_TRUE(image_in_named_format(images[0]));
    EXPECT_FALSE(image_in_named_format(images[1]));
    EXPECT_FALSE(image_in_named_format(images[2]));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(write_scene_images(images, dir / "m.tkm", nullptr), 2);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Wrote texture " + dir / "skin.png" + "\n");
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "Can't write texture " + dir / "face.tga" + ": its image cannot be converted\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir / "skin.bmp"));
}

} // namespace
