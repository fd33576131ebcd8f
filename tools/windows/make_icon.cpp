// SPDX-License-Identifier: MIT
// make_icon IN.xpm OUT.ico|OUT.bmp...: the program's icon for Windows (its window, the installer's
// shortcuts, its entry in Apps) and the menu window's pictures, from the XPM pictures the Linux
// viewer shows, so that both systems show one artwork. The XPM may use "#RRGGBB" colours and
// "None"; an icon holds one 32-bit image of its size, a bitmap 24-bit pixels (None as black).
//
// Index: reading the XPM | writing the icon | writing the bitmap | main
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/samplegen/byte_writer.h"

namespace {

enum icon_result {
    icon_ok = 0,
    icon_cannot_read = 1,
    icon_bad_header = 2,
    icon_bad_colour = 3,
    icon_bad_row = 4,
    icon_too_large = 5,
};

constexpr int largest_side = 256; // an icon entry keeps its size in one octet, 0 for 256

struct picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, top row first
};

// ---- reading the XPM

// The XPM's quoted strings, in order: its C array's elements.
std::vector<std::string> quoted_strings(const std::string &text) {
    std::vector<std::string> strings;
    size_t at = 0;
    while ((at = text.find('"', at)) != std::string::npos) {
        size_t end = text.find('"', at + 1);
        if (end == std::string::npos) break;
        strings.push_back(text.substr(at + 1, end - at - 1));
        at = end + 1;
    }
    return strings;
}

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The colour of one colour line's "c" key, keys being the line after its characters; 0 (no
// alpha) for None.
int parse_colour(const std::string &keys, uint32_t *colour) {
    size_t key = keys.find(" c ");
    if (key == std::string::npos) return icon_bad_colour;
    size_t start = keys.find_first_not_of(' ', key + 3);
    if (start == std::string::npos) return icon_bad_colour;
    std::string value = keys.substr(start, keys.find(' ', start) - start);
    if (value == "None" || value == "none") {
        *colour = 0;
        return icon_ok;
    }
    if (value.size() != 7 || value[0] != '#') return icon_bad_colour;
    uint32_t rgb = 0;
    for (size_t i = 1; i < value.size(); i++) {
        int digit = hex_digit(value[i]);
        if (digit < 0) return icon_bad_colour;
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    *colour = 0xff000000u | rgb;
    return icon_ok;
}

int read_xpm(const char *path, picture *out) {
    std::FILE *file = std::fopen(path, "rb");
    if (!file) return icon_cannot_read;
    std::string text;
    char buffer[4096];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, got);
    std::fclose(file);

    std::vector<std::string> strings = quoted_strings(text);
    int width = 0, height = 0, num_colours = 0, chars_per_pixel = 0;
    if (strings.empty() || std::sscanf(strings[0].c_str(), "%d %d %d %d", &width, &height,
                                       &num_colours, &chars_per_pixel) != 4)
        return icon_bad_header;
    if (width <= 0 || height <= 0 || num_colours <= 0 || chars_per_pixel <= 0 ||
        strings.size() != 1 + static_cast<size_t>(num_colours) + static_cast<size_t>(height))
        return icon_bad_header;
    if (width > largest_side || height > largest_side) return icon_too_large;

    std::vector<std::string> keys;
    std::vector<uint32_t> colours;
    for (int i = 0; i < num_colours; i++) {
        const std::string &line = strings[1 + static_cast<size_t>(i)];
        if (line.size() < static_cast<size_t>(chars_per_pixel)) return icon_bad_colour;
        uint32_t colour = 0;
        // The key's characters may be spaces: what follows them is searched from a space.
        int code = parse_colour(" " + line.substr(static_cast<size_t>(chars_per_pixel)), &colour);
        if (code != icon_ok) return code;
        keys.push_back(line.substr(0, static_cast<size_t>(chars_per_pixel)));
        colours.push_back(colour);
    }

    out->width = width;
    out->height = height;
    out->pixels.clear();
    for (int row = 0; row < height; row++) {
        const std::string &line = strings[1 + static_cast<size_t>(num_colours + row)];
        if (line.size() != static_cast<size_t>(width * chars_per_pixel)) return icon_bad_row;
        for (int column = 0; column < width; column++) {
            std::string key = line.substr(static_cast<size_t>(column * chars_per_pixel),
                                          static_cast<size_t>(chars_per_pixel));
            size_t index = 0;
            while (index < keys.size() && keys[index] != key)
                index++;
            if (index == keys.size()) return icon_bad_row;
            out->pixels.push_back(colours[index]);
        }
    }
    return icon_ok;
}

// ---- writing the icon

void put_u16(std::vector<uint8_t> &out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void put_u32(std::vector<uint8_t> &out, uint32_t value) {
    put_u16(out, value & 0xffffu);
    put_u16(out, value >> 16);
}

// An ICO file of one entry: the directory, then a BMP without its file header whose height counts
// the colour rows and the mask rows, both stored bottom row first.
std::vector<uint8_t> encode_ico(const picture &image) {
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    const uint32_t mask_row = (width + 31) / 32 * 4; // one bit a pixel, rows of whole 32-bit words
    const uint32_t header_size = 40;
    const uint32_t image_size = header_size + width * height * 4 + mask_row * height;
    const uint32_t directory_size = 6 + 16;

    std::vector<uint8_t> out;
    put_u16(out, 0); // reserved
    put_u16(out, 1); // an icon, not a cursor
    put_u16(out, 1); // entries
    out.push_back(static_cast<uint8_t>(width % 256));
    out.push_back(static_cast<uint8_t>(height % 256));
    out.push_back(0); // colours of a palette: none
    out.push_back(0); // reserved
    put_u16(out, 1);  // planes
    put_u16(out, 32); // bits a pixel
    put_u32(out, image_size);
    put_u32(out, directory_size);

    put_u32(out, header_size);
    put_u32(out, width);
    put_u32(out, height * 2);
    put_u16(out, 1);
    put_u16(out, 32);
    put_u32(out, 0); // no compression
    put_u32(out, width * height * 4 + mask_row * height);
    put_u32(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);
    for (uint32_t row = height; row-- > 0;)
        for (uint32_t column = 0; column < width; column++)
            put_u32(out, image.pixels[row * width + column]); // B, G, R, A in the file
    // The mask's set bits are the transparent pixels, for programs that ignore the alpha.
    for (uint32_t row = height; row-- > 0;) {
        std::vector<uint8_t> bits(mask_row, 0);
        for (uint32_t column = 0; column < width; column++)
            if ((image.pixels[row * width + column] >> 24) == 0)
                bits[column / 8] |= static_cast<uint8_t>(0x80u >> (column % 8));
        out.insert(out.end(), bits.begin(), bits.end());
    }
    return out;
}

// ---- writing the bitmap

// A BMP file of 24-bit pixels, rows bottom first, each padded to whole 32-bit words.
std::vector<uint8_t> encode_bmp(const picture &image) {
    const uint32_t width = static_cast<uint32_t>(image.width);
    const uint32_t height = static_cast<uint32_t>(image.height);
    const uint32_t row_size = (width * 3 + 3) / 4 * 4;
    const uint32_t file_header_size = 14, header_size = 40;
    const uint32_t pixels_at = file_header_size + header_size;

    std::vector<uint8_t> out;
    out.push_back('B');
    out.push_back('M');
    put_u32(out, pixels_at + row_size * height);
    put_u32(out, 0); // reserved
    put_u32(out, pixels_at);

    put_u32(out, header_size);
    put_u32(out, width);
    put_u32(out, height);
    put_u16(out, 1);  // planes
    put_u16(out, 24); // bits a pixel
    put_u32(out, 0);  // no compression
    put_u32(out, row_size * height);
    put_u32(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);
    put_u32(out, 0);
    for (uint32_t row = height; row-- > 0;) {
        const size_t start = out.size();
        for (uint32_t column = 0; column < width; column++) {
            const uint32_t pixel = image.pixels[row * width + column];
            out.push_back(static_cast<uint8_t>(pixel));       // blue
            out.push_back(static_cast<uint8_t>(pixel >> 8));  // green
            out.push_back(static_cast<uint8_t>(pixel >> 16)); // red
        }
        out.resize(start + row_size, 0);
    }
    return out;
}

bool ends_with(const std::string &text, const char *suffix) {
    const std::string end = suffix;
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

} // namespace

// ---- main

int main(int argc, char **argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::fprintf(stderr, "usage: make_icon IN.xpm OUT.ico|OUT.bmp [IN.xpm OUT...]\n");
        return 2;
    }
    for (int pair = 1; pair + 1 < argc; pair += 2) {
        const char *in = argv[pair], *out = argv[pair + 1];
        const bool bitmap = ends_with(out, ".bmp");
        if (!bitmap && !ends_with(out, ".ico")) {
            std::fprintf(stderr, "make_icon: %s is neither .ico nor .bmp\n", out);
            return 2;
        }
        picture image;
        int code = read_xpm(in, &image);
        if (code != icon_ok) {
            std::fprintf(stderr, "make_icon: cannot use %s as a picture: %d\n", in, code);
            return 1;
        }
        // Through a scratch file, as every file of the tree's programs: whole or not at all.
        if (write_bytes(out, bitmap ? encode_bmp(image) : encode_ico(image)) != 0) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", out);
            return 1;
        }
    }
    return 0;
}
