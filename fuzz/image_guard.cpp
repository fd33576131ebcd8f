// SPDX-License-Identifier: MIT
// Fuzz target: image headers through the guard, and whatever the guard lets pass through DevIL's
// own BMP and TGA decoders (from memory, no window needed). The first byte picks the format.
#include <IL/il.h>

#include <cstdint>
#include <vector>

#include "fuzz_target.h"
#include "viewer/files/image_guard.h"

namespace {

void put_u16(std::vector<uint8_t> &out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put_u32(std::vector<uint8_t> &out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

std::vector<uint8_t> bmp_seed(int width, int height, int bits, uint32_t compression) {
    // The colour table, or with compression 3 the red, green and blue masks.
    const uint32_t masks = compression == 3 ? 12 : 0;
    const uint32_t palette = bits <= 8 ? (1u << bits) * 4 : masks;
    const uint32_t row = (static_cast<uint32_t>(width) * bits + 31) / 32 * 4;
    const uint32_t data = row * static_cast<uint32_t>(height);
    std::vector<uint8_t> out = {0, 'B', 'M'};
    put_u32(out, 54 + palette + data);
    put_u32(out, 0);
    put_u32(out, 54 + palette);
    put_u32(out, 40);
    put_u32(out, static_cast<uint32_t>(width));
    put_u32(out, static_cast<uint32_t>(height));
    put_u16(out, 1);
    put_u16(out, static_cast<uint32_t>(bits));
    put_u32(out, compression);
    put_u32(out, data);
    put_u32(out, 2835);
    put_u32(out, 2835);
    put_u32(out, 0);
    put_u32(out, 0);
    for (uint32_t i = 0; i < palette + data; i++)
        out.push_back(static_cast<uint8_t>(i * 7));
    return out;
}

std::vector<uint8_t> tga_seed(uint8_t type, int width, int height, int bits) {
    std::vector<uint8_t> out = {1, 0, 0, type, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    put_u16(out, static_cast<uint32_t>(width));
    put_u16(out, static_cast<uint32_t>(height));
    out.push_back(static_cast<uint8_t>(bits));
    out.push_back(0);
    const int pixel = bits / 8;
    if (type == 10) { // run-length: one run of 128 per packet
        for (int done = 0; done < width * height; done += 128) {
            out.push_back(0xFF);
            for (int i = 0; i < pixel; i++)
                out.push_back(static_cast<uint8_t>(done + i));
        }
    } else {
        for (int i = 0; i < width * height * pixel; i++)
            out.push_back(static_cast<uint8_t>(i));
    }
    return out;
}

} // namespace

std::vector<std::vector<uint8_t>> fuzz_seeds() {
    return {
        bmp_seed(8, 8, 24, 0), bmp_seed(5, 3, 8, 0),     bmp_seed(9, 2, 4, 0),
        bmp_seed(7, 7, 32, 0), bmp_seed(4, 4, 1, 0),     bmp_seed(9, 2, 16, 3),
        bmp_seed(6, 5, 32, 3), bmp_seed(6, 4, 16, 0),    tga_seed(2, 8, 8, 24),
        tga_seed(2, 5, 3, 32), tga_seed(10, 16, 16, 24), tga_seed(3, 6, 6, 8),
    };
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = [] {
        ilInit();
        return true;
    }();
    (void)ready;
    if (size < 1) return 0;
    const image_kind kind = data[0] == 0 ? image_kind::bmp : image_kind::tga;
    const uint8_t *file = data + 1;
    const size_t length = size - 1;
    if (check_image_bytes(kind, file, length) != image_ok) return 0;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    ilLoadL(kind == image_kind::bmp ? IL_BMP : IL_TGA, file, static_cast<ILuint>(length));
    ilDeleteImages(1, &image);
    while (ilGetError() != IL_NO_ERROR) {
    }
    return 0;
}
