// SPDX-License-Identifier: MIT
// A check of image file headers before DevIL decodes them: DevIL 1.7.8 trusts the sizes in BMP
// and TGA headers and overruns its buffers on absurd ones, so such files are refused here.
#pragma once

#include <cstddef>
#include <cstdint>

// Largest image side and pixel count accepted (the largest texture size of common drivers).
inline constexpr uint32_t largest_image_side = 16384;
inline constexpr uint64_t largest_image_pixels = 64u * 1024u * 1024u;

// Result codes of check_image_bytes and check_image_file.
enum image_check : int32_t {
    image_ok = 0,         // nothing wrong found (or a format this check does not know)
    image_unreadable = 1, // the file cannot be read
    image_bad_header = 2, // too short for its header, or a wrong signature
    image_bad_size = 3,   // a side of 0, a side or pixel count above the limits
    image_bad_format = 4, // a pixel depth, compression or colour map DevIL cannot take
    image_truncated = 5,  // the uncompressed pixels do not fit in the file
};

// Which header check applies, chosen the way DevIL chooses its decoder: by the extension.
enum class image_kind { other, bmp, tga };
image_kind image_kind_of(const char *path);

// Checks the header of an image file of the given kind whose whole size is size; data holds the
// file's first 64 bytes, or all of it when shorter (no more is read).
int32_t check_image_bytes(image_kind kind, const uint8_t *data, std::size_t size);

// Reads the header of the file at path and checks it; image_ok for formats it does not know.
int32_t check_image_file(const char *path);

// A short English reason for a check result, for messages.
const char *image_check_reason(int32_t result);
