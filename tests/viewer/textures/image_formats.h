// SPDX-License-Identifier: MIT
// Image files of every layout the viewer meets, written byte by byte from a picture: BMP with 8,
// 24 and 32 bits a pixel, bottom-up or top-down; TGA with 24 or 32 bits, either origin, plain or
// run-length encoded. The picture is known here, so a test knows each texel without a decoder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image_formats {

struct rgba {
    uint8_t r, g, b, a;
    bool operator==(const rgba &) const = default;
};

// A picture as seen: rows top first.
struct picture {
    int width = 0, height = 0;
    std::vector<rgba> pixels; // width * height
    rgba at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// Every pixel different where the size allows, so that a flip, a mirror or a swap of channels
// shows; alpha varies too, for the formats that keep it.
inline picture pattern(int width, int height) {
    picture out{width, height, {}};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            out.pixels.push_back({static_cast<uint8_t>(40 * x + 7),
                                  static_cast<uint8_t>(50 * y + 3),
                                  static_cast<uint8_t>(200 - 30 * x - 11 * y),
                                  static_cast<uint8_t>(255 - 20 * x - 9 * y)});
    return out;
}

// At most four colours, for palette images: a 2 x 2 checker of two colours over the left half,
// two others over the right.
inline picture four_colours(int width, int height) {
    const rgba colours[] = {
        {255, 0, 0, 255}, {0, 128, 255, 255}, {10, 200, 30, 255}, {250, 250, 5, 255}};
    picture out{width, height, {}};
    for (int y = 0; y < height; y++)
        for (int x = 0; x < width; x++)
            out.pixels.push_back(colours[(x < width / 2 ? 0 : 2) + ((x + y) & 1)]);
    return out;
}

inline void put_u16(std::vector<uint8_t> &out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void put_u32(std::vector<uint8_t> &out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

// The rows of a picture in the order a file stores them.
inline std::vector<int> row_order(int height, bool top_first) {
    std::vector<int> rows;
    for (int i = 0; i < height; i++)
        rows.push_back(top_first ? i : height - 1 - i);
    return rows;
}

// A BMP with the 40-octet info header (BI_RGB): bits 24 or 32 (B, G, R, then alpha), or 8 with a
// palette of the picture's colours (at most 256). top_first writes a negative height.
inline std::vector<uint8_t> bmp(const picture &p, int bits, bool top_first = false) {
    std::vector<rgba> palette;
    std::vector<uint8_t> index(p.pixels.size());
    if (bits == 8)
        for (std::size_t i = 0; i < p.pixels.size(); i++) {
            std::size_t k = 0;
            while (k < palette.size() && !(palette[k] == p.pixels[i]))
                k++;
            if (k == palette.size()) palette.push_back(p.pixels[i]);
            index[i] = static_cast<uint8_t>(k);
        }
    const uint32_t row =
        (static_cast<uint32_t>(p.width) * static_cast<uint32_t>(bits) / 8 + 3) & ~3u;
    const uint32_t data = row * static_cast<uint32_t>(p.height);
    const uint32_t offset = 54 + 4 * static_cast<uint32_t>(palette.size());
    std::vector<uint8_t> out = {'B', 'M'};
    put_u32(out, offset + data);
    put_u32(out, 0);
    put_u32(out, offset);
    put_u32(out, 40);
    put_u32(out, static_cast<uint32_t>(p.width));
    put_u32(out, static_cast<uint32_t>(top_first ? -p.height : p.height));
    put_u16(out, 1);
    put_u16(out, static_cast<uint32_t>(bits));
    put_u32(out, 0);
    put_u32(out, data);
    put_u32(out, 2835);
    put_u32(out, 2835);
    put_u32(out, static_cast<uint32_t>(palette.size()));
    put_u32(out, 0);
    for (const rgba &c : palette)
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    for (int y : row_order(p.height, top_first)) {
        const std::size_t start = out.size();
        for (int x = 0; x < p.width; x++) {
            const rgba c = p.at(x, y);
            if (bits == 8)
                out.push_back(index[static_cast<std::size_t>(y) * p.width + x]);
            else
                out.insert(out.end(), {c.b, c.g, c.r});
            if (bits == 32) out.push_back(c.a);
        }
        out.resize(start + row, 0);
    }
    return out;
}

// A true-colour TGA (type 2, or 10 with run-length packets) of 24 or 32 bits; 32 bits declares 8
// alpha bits. top_first sets the origin bit for rows stored top first.
inline std::vector<uint8_t> tga(const picture &p, int bits, bool top_first = false,
                                bool rle = false) {
    std::vector<uint8_t> out = {0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0,
                                0, 0};
    put_u16(out, static_cast<uint32_t>(p.width));
    put_u16(out, static_cast<uint32_t>(p.height));
    out.push_back(static_cast<uint8_t>(bits));
    out.push_back(static_cast<uint8_t>((bits == 32 ? 8 : 0) | (top_first ? 0x20 : 0)));
    auto put_pixel = [&](rgba c) {
        out.insert(out.end(), {c.b, c.g, c.r});
        if (bits == 32) out.push_back(c.a);
    };
    for (int y : row_order(p.height, top_first)) {
        if (!rle) {
            for (int x = 0; x < p.width; x++)
                put_pixel(p.at(x, y));
            continue;
        }
        // Packets do not cross rows: a run of equal pixels as one repeated packet, the rest raw.
        int x = 0;
        while (x < p.width) {
            int run = 1;
            while (x + run < p.width && run < 128 && p.at(x + run, y) == p.at(x, y))
                run++;
            if (run > 1) {
                out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
                put_pixel(p.at(x, y));
                x += run;
                continue;
            }
            int raw = 1;
            while (x + raw < p.width && raw < 128 && !(p.at(x + raw, y) == p.at(x + raw - 1, y)))
                raw++;
            out.push_back(static_cast<uint8_t>(raw - 1));
            for (int i = 0; i < raw; i++)
                put_pixel(p.at(x + i, y));
            x += raw;
        }
    }
    return out;
}

} // namespace image_formats
