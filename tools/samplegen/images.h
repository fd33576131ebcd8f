// SPDX-License-Identifier: MIT
// Uncompressed BMP and TGA encoders and the procedural pictures of the sample set.
#pragma once

#include <cstdint>
#include <vector>

// An RGB picture, rows stored top row first, 3 bytes per pixel.
struct rgb_image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    rgb_image(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h * 3) {}
    void set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
        uint8_t *p = &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
        p[0] = r;
        p[1] = g;
        p[2] = b;
    }
    const uint8_t *at(int x, int y) const {
        return &pixels[(static_cast<std::size_t>(y) * width + x) * 3];
    }
};

// A 24-bit Windows bitmap with the classic 40-byte info header (the one every reader accepts).
std::vector<uint8_t> encode_bmp(const rgb_image &image);
// A 24-bit uncompressed Targa (type 2), bottom row first as the format's default origin says.
std::vector<uint8_t> encode_tga(const rgb_image &image);

// The officer's uniform: dark blue cloth with a vest panel and a yellow name band.
rgb_image make_uniform_picture();
// The officer's head: skin with eyes, brows and a mouth in the face square.
rgb_image make_face_picture();
// Gun-metal with machined stripes for the weapon.
rgb_image make_weapon_picture();
// A sky over a tiled floor, for the viewer's background.
rgb_image make_background_picture();
