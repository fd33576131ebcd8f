// SPDX-License-Identifier: MIT
// Header checks for BMP and TGA files. Layouts (little-endian):
//
//   BMP file header (14)          info header (core 12 / Windows 40+)
//   0  "BM"                       14 size             (12 | >= 40; 40 with compression 3 is
//                                                      followed by three u32 colour masks)
//   2  u32 file size              18 width, height    (u16 each | i32 each, height < 0: top-down)
//   10 u32 pixel data offset      +   planes u16, bits per pixel u16
//                                 30 compression u32  (40+ only: 0 plain, 1 RLE8, 2 RLE4, 3 masks)
//                                 46 colours used u32 (40+ only)
//
//   TGA header (18): 0 id length u8, 1 colour map type u8, 2 image type u8 (1, 2, 3 plain; 9, 10,
//   11 RLE), 3 first map entry u16, 5 map length u16, 7 map entry bits u8, 8 x/y origin u16 each,
//   12 width u16, 14 height u16, 16 bits per pixel u8, 17 descriptor u8.
#include "viewer/files/image_guard.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint32_t u16_at(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

uint32_t u32_at(const uint8_t *p) {
    return u16_at(p) | u16_at(p + 2) << 16;
}

bool size_allowed(uint64_t width, uint64_t height) {
    return width > 0 && height > 0 && width <= largest_image_side && height <= largest_image_side &&
           width * height <= largest_image_pixels;
}

int32_t check_bmp(const uint8_t *data, std::size_t size) {
    if (size < 26 || data[0] != 'B' || data[1] != 'M') return image_bad_header;
    const uint32_t info_size = u32_at(data + 14);
    uint64_t width, height;
    uint32_t bits, compression = 0, colours = 0;
    if (info_size == 12) {
        width = u16_at(data + 18);
        height = u16_at(data + 20);
        bits = u16_at(data + 24);
    } else if (info_size >= 40) {
        if (size < 54) return image_bad_header;
        const int32_t w = static_cast<int32_t>(u32_at(data + 18));
        const int32_t h = static_cast<int32_t>(u32_at(data + 22));
        if (w <= 0 || h == 0 || h == INT32_MIN) return image_bad_size;
        width = static_cast<uint64_t>(w);
        height = static_cast<uint64_t>(h < 0 ? -static_cast<int64_t>(h) : h);
        bits = u16_at(data + 28);
        compression = u32_at(data + 30);
        colours = u32_at(data + 46);
    } else {
        return image_bad_header;
    }
    if (!size_allowed(width, height)) return image_bad_size;
    const bool depth_ok =
        bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!depth_ok || compression > 3) return image_bad_format;
    if ((compression == 1 && bits != 8) || (compression == 2 && bits != 4)) return image_bad_format;
    if (bits <= 8 && colours > (1u << bits)) return image_bad_format;
    // Pixels cannot start inside the headers (the three colour masks follow a 40-octet header):
    // DevIL reads the masks and then seeks back to such an offset, far outside the file.
    const uint64_t headers_end =
        14 + uint64_t{info_size} + (info_size == 40 && compression == 3 ? 12 : 0);
    const uint64_t offset = u32_at(data + 10);
    if (offset < headers_end) return image_bad_header;
    if (offset > size) return image_truncated;
    if (compression == 0 || compression == 3) {
        const uint64_t row = (width * bits + 31) / 32 * 4;
        if (offset + row * height > size) return image_truncated;
    }
    return image_ok;
}

int32_t check_tga(const uint8_t *data, std::size_t size) {
    if (size < 18) return image_bad_header;
    const uint32_t id_length = data[0], map_type = data[1], type = data[2];
    const uint32_t map_length = u16_at(data + 5), map_bits = data[7];
    const uint64_t width = u16_at(data + 12), height = u16_at(data + 14);
    const uint32_t bits = data[16];
    const bool known = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    if (!known || map_type > 1) return image_bad_format;
    if (!size_allowed(width, height)) return image_bad_size;
    const bool mapped = type == 1 || type == 9;
    if (mapped && (map_type != 1 || bits != 8)) return image_bad_format;
    if (!mapped && bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        return image_bad_format;
    uint64_t map_bytes = 0;
    if (map_type == 1) {
        if (map_bits != 15 && map_bits != 16 && map_bits != 24 && map_bits != 32)
            return image_bad_format;
        map_bytes = static_cast<uint64_t>(map_length) * ((map_bits + 7) / 8);
        if (mapped && map_length == 0) return image_bad_format;
    }
    const uint64_t start = 18 + id_length + map_bytes;
    if (start > size) return image_truncated;
    if (type < 9 && start + width * height * ((bits + 7) / 8) > size) return image_truncated;
    return image_ok;
}

} // namespace

image_kind image_kind_of(const char *path) {
    if (!path) return image_kind::other;
    const char *dot = std::strrchr(path, '.');
    const char *slash = std::strrchr(path, '/');
    if (!dot || (slash && slash > dot)) return image_kind::other;
    const char *extension = dot + 1;
    if (!strcasecmp(extension, "bmp") || !strcasecmp(extension, "dib")) return image_kind::bmp;
    for (const char *tga : {"tga", "vda", "icb", "vst"})
        if (!strcasecmp(extension, tga)) return image_kind::tga;
    return image_kind::other;
}

int32_t check_image_bytes(image_kind kind, const uint8_t *data, std::size_t size) {
    switch (kind) {
    case image_kind::bmp:
        return check_bmp(data, size);
    case image_kind::tga:
        return check_tga(data, size);
    default:
        return image_ok;
    }
}

int32_t check_image_file(const char *path) {
    image_kind kind = image_kind_of(path);
    if (kind == image_kind::other) return image_ok;
    std::FILE *file = std::fopen(path, "rb");
    if (!file) return image_unreadable;
    uint8_t header[64] = {};
    // Bytes the file lacks stay 0; the checks compare every offset with the file's size.
    (void)std::fread(header, 1, sizeof header, file);
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::fclose(file);
    if (size < 0) return image_unreadable;
    return check_image_bytes(kind, header, static_cast<std::size_t>(size));
}

const char *image_check_reason(int32_t result) {
    static constexpr const char *reasons[] = {
        "no fault found",    "cannot be read",           "not a valid header",
        "absurd image size", "unsupported pixel format", "pixel data cut short",
    };
    if (result < 0 || result >= static_cast<int32_t>(std::size(reasons))) return "unknown fault";
    return reasons[result];
}
