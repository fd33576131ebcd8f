// SPDX-License-Identifier: MIT
// Writing the images of a converted model beside it, each in the format its file name asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct scene_image;

// The formats an image can be written in, by the extension of its file name.
enum scene_image_format : int {
    image_format_png,
    image_format_jpeg,
    image_format_bmp,
    image_format_tga,
    image_format_unknown
};

// The format image.file_name names; image_format_unknown for any other extension.
scene_image_format named_image_format(const scene_image &image);
// True when image's bytes already are the format its file name names, so that they are written
// as they stand; false when they must be encoded again (always for TGA, which has no signature).
bool image_in_named_format(const scene_image &image);

// Encodes image in the named format into *out; false when it cannot. The image library lives
// above the model core, so the caller hands its encoder in.
using scene_image_encoder = bool (*)(const scene_image &image, std::vector<uint8_t> *out);

// Writes each image under its file name into the directory of the file beside (a path: the
// current directory for a bare name), through a scratch file so that a failed write leaves an
// older file whole; a file that already holds the bytes is left alone. Images not in their named
// format go through encode (null: they cannot be written). Returns the number that could not be
// written; each is reported on standard error, each written one on standard output.
int write_scene_images(const std::vector<scene_image> &images, const std::string &beside,
                       scene_image_encoder encode);
