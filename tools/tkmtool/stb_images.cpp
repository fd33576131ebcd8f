// SPDX-License-Identifier: MIT
// stb's side of tkmtool's images. stb decodes every format to rows top first, which is what
// glTF's texture coordinates expect, and its writers keep that order in each format's own way.
#include "stb_images.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <cstdio>

#include "support/platform_file.h"
#include "viewer/scene/scene.h"

namespace {

// Decoded pixels, released with the record.
struct pixels {
    unsigned char *data = nullptr;
    int width = 0, height = 0, channels = 0;
    ~pixels() { stbi_image_free(data); }
};

// stb's writers hand their output over in pieces.
void append(void *context, void *data, int size) {
    auto *out = static_cast<std::vector<uint8_t> *>(context);
    const auto *bytes = static_cast<const uint8_t *>(data);
    out->insert(out->end(), bytes, bytes + size);
}

bool has_alpha(int channels) {
    return channels == 2 || channels == 4;
}

// Grey images become RGB (or RGBA): the formats tkmtool writes are read everywhere as colour.
bool decode(const uint8_t *bytes, size_t size, bool keep_alpha, pixels *image) {
    if (size > size_t(INT32_MAX)) return false;
    int channels = 0;
    if (!stbi_info_from_memory(bytes, int(size), &image->width, &image->height, &channels))
        return false;
    image->channels = keep_alpha && has_alpha(channels) ? 4 : 3;
    image->data = stbi_load_from_memory(bytes, int(size), &image->width, &image->height, &channels,
                                        image->channels);
    return image->data != nullptr;
}

using writer = int (*)(std::vector<uint8_t> *out, const pixels &image);

int write_png(std::vector<uint8_t> *out, const pixels &image) {
    return stbi_write_png_to_func(append, out, image.width, image.height, image.channels,
                                  image.data, image.width * image.channels);
}
int write_jpeg(std::vector<uint8_t> *out, const pixels &image) {
    return stbi_write_jpg_to_func(append, out, image.width, image.height, image.channels,
                                  image.data, 95);
}
int write_bmp(std::vector<uint8_t> *out, const pixels &image) {
    return stbi_write_bmp_to_func(append, out, image.width, image.height, image.channels,
                                  image.data);
}
int write_tga(std::vector<uint8_t> *out, const pixels &image) {
    // Uncompressed (type 2), as the game's own textures are.
    stbi_write_tga_with_rle = 0;
    return stbi_write_tga_to_func(append, out, image.width, image.height, image.channels,
                                  image.data);
}

// The writer of each format, and whether it keeps alpha (JPEG has none), in scene_image_format's
// order.
struct format_writer {
    writer write;
    bool alpha;
};
constexpr format_writer writers[] = {
    {write_png, true}, {write_jpeg, false}, {write_bmp, true}, {write_tga, true}};

// The whole file at path (UTF-8 on every system).
bool read_whole(const char *path, std::vector<uint8_t> *bytes) {
    std::FILE *stream = open_utf8_path(path, "rb");
    if (!stream) return false;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    const bool whole = !std::ferror(stream);
    std::fclose(stream);
    return whole;
}

} // namespace

bool read_image_with_stb(const char *path, bool convert, std::vector<uint8_t> *png) {
    std::vector<uint8_t> bytes;
    pixels image;
    if (!read_whole(path, &bytes) || !decode(bytes.data(), bytes.size(), true, &image))
        return false;
    if (!convert) return true;
    if (!png) return false;
    png->clear();
    return write_png(png, image) != 0;
}

bool encode_image_with_stb(const scene_image &image, std::vector<uint8_t> *out) {
    const scene_image_format format = named_image_format(image);
    if (format == image_format_unknown) return false;
    if (image_in_named_format(image)) {
        *out = image.bytes;
        return true;
    }
    const format_writer &chosen = writers[format];
    pixels decoded;
    if (!decode(image.bytes.data(), image.bytes.size(), chosen.alpha, &decoded)) return false;
    out->clear();
    return chosen.write(out, decoded) != 0;
}

gltf_image_reader image_reader() {
    return read_image_with_stb;
}

scene_image_encoder image_encoder(const char *) {
    return encode_image_with_stb;
}
