// SPDX-License-Identifier: MIT
// What the glTF reader needs to know of the images it carries over: their kind and size from
// their headers (they are never decoded here) and file names made safe to write.
#include <algorithm>

#include "viewer/gltf/gltf_import_internal.h"

namespace gltf_import {

namespace {

uint32_t big_endian(const uint8_t *p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; i++)
        v = v << 8 | p[i];
    return v;
}

} // namespace

// The file extension of a PNG or JPEG image and its size from its header; null for anything
// else. PNG: signature, then the IHDR chunk with width and height. JPEG: markers, each with a
// 16-bit length, up to a start-of-frame marker that holds height and width.
const char *image_kind(const std::vector<uint8_t> &bytes, uint32_t *width, uint32_t *height) {
    const size_t size = bytes.size();
    const uint8_t *p = bytes.data();
    static const uint8_t png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 24 && std::equal(png, png + 8, p) && std::equal(p + 12, p + 16, "IHDR")) {
        *width = big_endian(p + 16, 4);
        *height = big_endian(p + 20, 4);
        return ".png";
    }
    if (size < 4 || p[0] != 0xFF || p[1] != 0xD8) return nullptr;
    size_t at = 2;
    while (at + 4 <= size) {
        if (p[at] != 0xFF) return nullptr;
        const uint8_t marker = p[at + 1];
        if (marker == 0xFF) { // fill byte
            at++;
            continue;
        }
        const bool frame =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > size) return nullptr;
            *height = big_endian(p + at + 5, 2);
            *width = big_endian(p + at + 7, 2);
            return ".jpg";
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        at += 2 + big_endian(p + at + 2, 2);
    }
    return nullptr;
}

// Letters, digits, '-', '_' and '.' stay; anything else becomes '_'.
std::string file_safe(const std::string &text, size_t most) {
    std::string out = text.substr(0, most);
    for (char &c : out) {
        const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        if (!keep) c = '_';
    }
    return out;
}

} // namespace gltf_import
