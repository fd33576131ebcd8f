// SPDX-License-Identifier: MIT
// Images read for the glTF export: decoding checks and re-encoding as PNG.
#pragma once

#include <cstdint>
#include <vector>

// A gltf_image_reader through this build's image library (image_io.h): decodes the image file at
// path; true when it decodes. With convert, the image as 8-bit RGB or RGBA PNG bytes, top row
// first, goes into *png.
bool read_image_file(const char *path, bool convert, std::vector<uint8_t> *png);

// The same with DevIL (initialised on first use), where the build has it (Linux).
bool read_image_with_devil(const char *path, bool convert, std::vector<uint8_t> *png);
