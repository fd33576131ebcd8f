// SPDX-License-Identifier: MIT
// The header check that keeps absurd BMP and TGA files away from DevIL.
#include <gtest/gtest.h>

#include <vector>

#include "common/temp_dir.h"
#include "viewer/files/image_guard.h"
#include "viewer/textures/test_images.h"

namespace {

std::vector<uint8_t> good_bmp() {
    return test_images::bmp(5, 3, test_images::plain({1, 2, 3}));
}

std::vector<uint8_t> good_tga() {
    return test_images::tga(5, 3, test_images::plain({1, 2, 3}));
}

int32_t check(image_kind kind, const std::vector<uint8_t> &file) {
    return check_image_bytes(kind, file.data(), file.size());
}

void put_u32(std::vector<uint8_t> &file, std::size_t at, uint32_t value) {
    for (int i = 0; i < 4; i++)
        file[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST(image_guard, the_kind_follows_the_extension_as_devil_chooses) {
    EXPECT_EQ(image_kind_of("a.bmp"), image_kind::bmp);
    EXPECT_EQ(image_kind_of("dir.tga/A.BMP"), image_kind::bmp);
    EXPECT_EQ(image_kind_of("skin.TGA"), image_kind::tga);
    EXPECT_EQ(image_kind_of("skin.png"), image_kind::other);
    EXPECT_EQ(image_kind_of("dir.bmp/skin"), image_kind::other);
    EXPECT_EQ(image_kind_of(nullptr), image_kind::other);
}

TEST(image_guard, well_formed_files_pass) {
    EXPECT_EQ(check(image_kind::bmp, good_bmp()), image_ok);
    EXPECT_EQ(check(image_kind::tga, good_tga()), image_ok);
    EXPECT_EQ(check(image_kind::other, {}), image_ok) << "unknown formats are DevIL's to judge";
}

TEST(image_guard, bmp_faults_are_refused) {
    std::vector<uint8_t> file = good_bmp();
    EXPECT_EQ(check(image_kind::bmp, std::vector<uint8_t>(file.begin(), file.begin() + 20)),
              image_bad_header);
    auto changed = [&](std::size_t at, uint32_t value) {
        std::vector<uint8_t> copy = file;
        put_u32(copy, at, value);
        return check(image_kind::bmp, copy);
    };
    EXPECT_EQ(changed(0, 0x4D42 ^ 0x0101), image_bad_header); // signature
    EXPECT_EQ(changed(14, 20), image_bad_header);             // info header size
    EXPECT_EQ(changed(18, 0), image_bad_size);                // width 0
    EXPECT_EQ(changed(18, 0x7FFFFFFF), image_bad_size);       // the width that crashed DevIL
    EXPECT_EQ(changed(22, 0x80000000), image_bad_size);       // height INT32_MIN
    EXPECT_EQ(changed(18, largest_image_side + 1), image_bad_size);
    EXPECT_EQ(changed(28, 7), image_bad_format);   // 7 bits per pixel
    EXPECT_EQ(changed(30, 4), image_bad_format);   // JPEG-in-BMP compression
    EXPECT_EQ(changed(10, 1000), image_truncated); // pixels start past the end
    EXPECT_EQ(changed(10, 53), image_bad_header);  // pixels start inside the info header
    EXPECT_EQ(changed(10, 0), image_bad_header);

    // With colour masks (compression 3) after a 40-octet header the pixels start at 66 or
    // later: an offset inside the masks made DevIL read far outside the file.
    std::vector<uint8_t> masked = test_images::bmp(5, 3, test_images::plain({1, 2, 3}));
    put_u32(masked, 30, 3);
    masked.insert(masked.begin() + 54, 12, 0xFF);
    put_u32(masked, 10, 66);
    EXPECT_EQ(check(image_kind::bmp, masked), image_ok);
    for (uint32_t offset : {0u, 10u, 54u, 65u}) {
        put_u32(masked, 10, offset);
        EXPECT_EQ(check(image_kind::bmp, masked), image_bad_header) << "offset " << offset;
    }
    std::vector<uint8_t> short_pixels(file.begin(), file.end() - 1);
    EXPECT_EQ(check(image_kind::bmp, short_pixels), image_truncated);
    std::vector<uint8_t> top_down = file;
    put_u32(top_down, 22, static_cast<uint32_t>(-3));
    EXPECT_EQ(check(image_kind::bmp, top_down), image_ok);
}

TEST(image_guard, tga_faults_are_refused) {
    std::vector<uint8_t> file = good_tga();
    EXPECT_EQ(check(image_kind::tga, std::vector<uint8_t>(file.begin(), file.begin() + 17)),
              image_bad_header);
    auto changed = [&](std::size_t at, uint8_t value) {
        std::vector<uint8_t> copy = file;
        copy[at] = value;
        return check(image_kind::tga, copy);
    };
    EXPECT_EQ(changed(2, 4), image_bad_format);   // image type
    EXPECT_EQ(changed(1, 2), image_bad_format);   // colour map type
    EXPECT_EQ(changed(1, 1), image_bad_format);   // a map with 0-bit entries
    EXPECT_EQ(changed(16, 12), image_bad_format); // bits per pixel
    std::vector<uint8_t> zero_width = file;
    zero_width[12] = zero_width[13] = 0;
    EXPECT_EQ(check(image_kind::tga, zero_width), image_bad_size);
    std::vector<uint8_t> wide = file; // 65535 x 65535: the pixel count DevIL would overflow
    wide[12] = wide[13] = wide[14] = wide[15] = 0xFF;
    EXPECT_EQ(check(image_kind::tga, wide), image_bad_size);
    EXPECT_EQ(changed(0, 200), image_truncated); // an id longer than the file
    std::vector<uint8_t> short_pixels(file.begin(), file.end() - 1);
    EXPECT_EQ(check(image_kind::tga, short_pixels), image_truncated);
    std::vector<uint8_t> rle = file; // run-length pixels cannot be sized from the header
    rle[2] = 10;
    EXPECT_EQ(check(image_kind::tga, rle), image_ok);
}

TEST(image_guard, files_are_read_from_disk) {
    temp_dir files;
    write_all(files / "good.bmp", good_bmp());
    std::vector<uint8_t> bad = good_bmp();
    put_u32(bad, 18, 0x7FFFFFFF);
    write_all(files / "bad.bmp", bad);
    write_all(files / "tiny.tga", {0, 0});
    EXPECT_EQ(check_image_file((files / "good.bmp").c_str()), image_ok);
    EXPECT_EQ(check_image_file((files / "bad.bmp").c_str()), image_bad_size);
    EXPECT_EQ(check_image_file((files / "tiny.tga").c_str()), image_bad_header);
    EXPECT_EQ(check_image_file((files / "missing.bmp").c_str()), image_unreadable);
    EXPECT_EQ(check_image_file((files / "anything.png").c_str()), image_ok);
    EXPECT_STREQ(image_check_reason(image_bad_size), "absurd image size");
    EXPECT_STREQ(image_check_reason(99), "unknown fault");
}

} // namespace
