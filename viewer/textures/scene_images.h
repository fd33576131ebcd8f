// SPDX-License-Identifier: MIT
// Encoding a converted model's images, in the format each file name asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct scene_image;

// The bytes of image in the format its file_name's extension names (BMP, TGA, PNG or JPEG):
// as they are when they already are that, else decoded and encoded again by the image library.
// False when it cannot.
bool encode_scene_image(const scene_image &image, std::vector<uint8_t> *out);
