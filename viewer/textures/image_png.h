// SPDX-License-Identifier: MIT
// Images read with DevIL for the glTF export: decoding checks and re-encoding as PNG.
#pragma once

#include <cstdint>
#include <vector>

// A gltf_image_reader: decodes the image file at path with DevIL (initialised on first use);
// true when it decodes. With convert, the image as 8-bit RGB or RGBA PNG bytes goes into *png.
bool read_image_with_devil(const char *path, bool convert, std::vector<uint8_t> *png);

// Empties DevIL's error stack, so that a code left from an earlier failure is not taken for the
// result of the next call.
void forget_devil_errors();
