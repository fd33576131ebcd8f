// SPDX-License-Identifier: MIT
// Image encoders and the sample set's pictures, all drawn from formulas so nothing binary is kept.
//
// Index: encoders | pictures
#include "tools/samplegen/images.h"

#include <algorithm>
#include <cmath>

#include "tools/samplegen/byte_writer.h"

// ---- encoders

std::vector<uint8_t> encode_bmp(const rgb_image &image) {
    // BMP rows are padded to four bytes and stored bottom row first, blue before red.
    const uint32_t row_size = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
    const uint32_t data_size = row_size * static_cast<uint32_t>(image.height);
    byte_writer out;
    out.u8('B');
    out.u8('M');
    out.u32(14 + 40 + data_size); // file size
    out.u32(0);                   // reserved
    out.u32(14 + 40);             // offset of the pixels
    out.u32(40);                  // info header size
    out.u32(static_cast<uint32_t>(image.width));
    out.u32(static_cast<uint32_t>(image.height)); // positive: bottom-up
    out.u16(1);                                   // planes
    out.u16(24);                                  // bits per pixel
    out.u32(0);                                   // BI_RGB
    out.u32(data_size);
    out.u32(2835); // 72 dpi
    out.u32(2835);
    out.u32(0);
    out.u32(0);
    for (int y = image.height - 1; y >= 0; y--) {
        for (int x = 0; x < image.width; x++) {
            const uint8_t *p = image.at(x, y);
            out.u8(p[2]);
            out.u8(p[1]);
            out.u8(p[0]);
        }
        for (uint32_t pad = static_cast<uint32_t>(image.width) * 3; pad < row_size; pad++)
            out.u8(0);
    }
    return out.bytes;
}

std::vector<uint8_t> encode_tga(const rgb_image &image) {
    byte_writer out;
    out.u8(0); // no image id
    out.u8(0); // no colour map
    out.u8(2); // uncompressed true colour
    out.u16(0);
    out.u16(0);
    out.u8(0); // colour map fields
    out.u16(0);
    out.u16(0); // origin
    out.u16(static_cast<uint16_t>(image.width));
    out.u16(static_cast<uint16_t>(image.height));
    out.u8(24);
    out.u8(0); // bottom-left origin, no alpha bits
    for (int y = image.height - 1; y >= 0; y--)
        for (int x = 0; x < image.width; x++) {
            const uint8_t *p = image.at(x, y);
            out.u8(p[2]);
            out.u8(p[1]);
            out.u8(p[0]);
        }
    return out.bytes;
}

// ---- pictures

namespace {

uint8_t clamp_byte(double value) {
    return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
}

// Cheap repeatable noise so the cloth does not look like flat colour.
double hash_noise(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>(h & 0xffff) / 65535.0;
}

} // namespace

rgb_image make_uniform_picture() {
    rgb_image image(128, 128);
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            double weave = ((x + y) % 4 < 2 ? 6.0 : -6.0) + hash_noise(x, y) * 10.0;
            double r = 28 + weave, g = 38 + weave, b = 72 + weave;
            if (x >= 32 && x < 96 && y >= 16 && y < 96) { // vest panel
                r = 40 + weave;
                g = 44 + weave;
                b = 40 + weave;
            }
            if (y >= 40 && y < 52 && x >= 36 && x < 92) { // name band
                r = 220;
                g = 190 + weave;
                b = 40;
            }
            image.set(x, y, clamp_byte(r), clamp_byte(g), clamp_byte(b));
        }
    return image;
}

rgb_image make_face_picture() {
    rgb_image image(64, 64);
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            double shade = hash_noise(x, y) * 8.0;
            double r = 224 + shade, g = 172 + shade, b = 140 + shade;
            if (y < 12) { // hair line
                r = 70;
                g = 48;
                b = 30;
            }
            bool eye = (y >= 22 && y < 28) && ((x >= 14 && x < 24) || (x >= 40 && x < 50));
            bool brow = (y >= 17 && y < 19) && ((x >= 12 && x < 26) || (x >= 38 && x < 52));
            bool mouth = (y >= 46 && y < 50) && x >= 22 && x < 42;
            if (eye) r = g = b = 30;
            if (brow) r = 60, g = 40, b = 25;
            if (mouth) r = 150, g = 60, b = 60;
            image.set(x, y, clamp_byte(r), clamp_byte(g), clamp_byte(b));
        }
    return image;
}

rgb_image make_weapon_picture() {
    rgb_image image(64, 64);
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            double base = 52 + 20 * std::sin(y * 0.4) + hash_noise(x, y) * 12.0;
            image.set(x, y, clamp_byte(base), clamp_byte(base + 2), clamp_byte(base + 8));
        }
    return image;
}

rgb_image make_background_picture() {
    rgb_image image(256, 256);
    for (int y = 0; y < image.height; y++)
        for (int x = 0; x < image.width; x++) {
            if (y < 160) { // sky, lighter towards the horizon
                double t = y / 160.0;
                image.set(x, y, clamp_byte(90 + 110 * t), clamp_byte(140 + 80 * t),
                          clamp_byte(210 + 30 * t));
            } else { // floor tiles
                bool dark = ((x / 32) + ((y - 160) / 16)) % 2 == 0;
                double v = dark ? 90 : 130;
                image.set(x, y, clamp_byte(v), clamp_byte(v * 0.9), clamp_byte(v * 0.8));
            }
        }
    return image;
}
