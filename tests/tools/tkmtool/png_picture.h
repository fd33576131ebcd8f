// SPDX-License-Identifier: MIT
// Reads a PNG written by tkmtool back as RGBA pixels, bottom row first (DevIL, as the viewer
// reads images).
#pragma once

#include <IL/il.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// A picture as read back: RGBA, bottom row first as OpenGL reads a window.
struct png_picture {
    int width = 0, height = 0;
    int channels = 0; // in the file: 3 opaque, 4 with alpha
    std::vector<uint8_t> rgba;
    // The pixel at (x, y), y counted from the bottom.
    const uint8_t *at(int x, int y) const {
        return &rgba[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)) *
                     4];
    }
};

// The picture at path; width 0 when it cannot be read.
inline png_picture read_png(const std::string &path) {
    static const bool ready = (ilInit(), true);
    (void)ready;
    png_picture picture;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    // Rows come out bottom first, as glReadPixels gives them; the setting is put back at once,
    // since the viewer's texture loading in the same process expects it off.
    ilEnable(IL_ORIGIN_SET);
    ilOriginFunc(IL_ORIGIN_LOWER_LEFT);
    const bool loaded = ilLoad(IL_PNG, path.c_str());
    ilDisable(IL_ORIGIN_SET);
    if (loaded) {
        picture.channels = ilGetInteger(IL_IMAGE_CHANNELS);
        picture.width = ilGetInteger(IL_IMAGE_WIDTH);
        picture.height = ilGetInteger(IL_IMAGE_HEIGHT);
        picture.rgba.resize(static_cast<std::size_t>(picture.width) *
                            static_cast<std::size_t>(picture.height) * 4);
        ilCopyPixels(0, 0, 0, static_cast<ILuint>(picture.width),
                     static_cast<ILuint>(picture.height), 1, IL_RGBA, IL_UNSIGNED_BYTE,
                     picture.rgba.data());
    }
    ilDeleteImages(1, &image);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return picture;
}
