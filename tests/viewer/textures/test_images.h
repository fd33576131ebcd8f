// SPDX-License-Identifier: MIT
// Small image files written byte by byte for tests: 24-bit BMP (BMP3 header) and TGA, the two
// formats the viewer offers and DevIL reads.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace test_images {

struct colour {
    uint8_t r, g, b;
};

// Colour of the pixel at column x, row y, rows counted from the top of the picture as seen.
using painter = std::function<colour(int x, int y)>;

inline void put_u16(std::vector<uint8_t> &out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void put_u32(std::vector<uint8_t> &out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

// A bottom-up 24-bit BMP with a 40-byte info header; rows padded to four bytes.
inline std::vector<uint8_t> bmp(int width, int height, const painter &paint) {
    const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t data = row * static_cast<uint32_t>(height);
    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put_u32(out, 54 + data);
    put_u32(out, 0);
    put_u32(out, 54);
    put_u32(out, 40);
    put_u32(out, static_cast<uint32_t>(width));
    put_u32(out, static_cast<uint32_t>(height));
    put_u16(out, 1);
    put_u16(out, 24);
    put_u32(out, 0);
    put_u32(out, data);
    put_u32(out, 2835);
    put_u32(out, 2835);
    put_u32(out, 0);
    put_u32(out, 0);
    for (int y = height - 1; y >= 0; y--) {
        std::size_t start = out.size();
        for (int x = 0; x < width; x++) {
            colour c = paint(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
        out.resize(start + row, 0);
    }
    return out;
}

// An uncompressed 24-bit TGA stored bottom row first (origin bits 0).
inline std::vector<uint8_t> tga(int width, int height, const painter &paint) {
    std::vector<uint8_t> out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put_u16(out, static_cast<uint32_t>(width));
    put_u16(out, static_cast<uint32_t>(height));
    out.push_back(24);
    out.push_back(0);
    for (int y = height - 1; y >= 0; y--)
        for (int x = 0; x < width; x++) {
            colour c = paint(x, y);
            out.push_back(c.b);
            out.push_back(c.g);
            out.push_back(c.r);
        }
    return out;
}

// One colour all over.
inline painter plain(colour c) {
    return [c](int, int) { return c; };
}

} // namespace test_images
