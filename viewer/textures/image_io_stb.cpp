// SPDX-License-Identifier: MIT
// stb's reader and writer as the viewer's image library, where there is no DevIL. The texels
// match what DevIL with ILUT makes of the same file: stb decodes rows top first, so they are
// turned bottom first for OpenGL; each file keeps the channels DevIL keeps of it; the texture gets
// ILUT's filters and GLU's mipmaps, which also scale a side that is no power of two to the nearest
// one, as ILUT's do.
//
// Index: helpers - start - load_texture - save_screen (own BMP writer) - write_png - read_image -
//        encode_image
#include "viewer/textures/image_io.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>

#include "support/platform_file.h"
#include "viewer/files/image_guard.h"
#include "viewer/scene/scene.h"

namespace {

// ---- helpers

// Decoded pixels, released with the record.
struct stb_pixels {
    unsigned char *data = nullptr;
    int width = 0, height = 0, channels = 0;
    stb_pixels() = default;
    stb_pixels(const stb_pixels &) = delete;
    stb_pixels &operator=(const stb_pixels &) = delete;
    ~stb_pixels() { stbi_image_free(data); }
};

// The whole file at path (UTF-8 on every system).
bool read_whole(const char *path, std::vector<uint8_t> *bytes) {
    std::FILE *stream = path ? open_utf8_path(path, "rb") : nullptr;
    if (!stream) return false;
    uint8_t buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, stream)) > 0)
        bytes->insert(bytes->end(), buffer, buffer + got);
    const bool ok = !std::ferror(stream);
    std::fclose(stream);
    return ok && bytes->size() <= std::size_t(INT32_MAX);
}

uint32_t u16_at(const std::vector<uint8_t> &bytes, std::size_t at) {
    return at + 2 <= bytes.size() ? uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 : 0;
}

bool is_bmp(const std::vector<uint8_t> &bytes) {
    return bytes.size() >= 30 && bytes[0] == 'B' && bytes[1] == 'M';
}

// What DevIL keeps of a decoded file: the channels ILUT uploads (1 grey, 2 grey and alpha, 3 RGB,
// 4 RGBA) and whether its picture counts as having alpha when DevIL converts it. A BMP of 24 or
// 32 bits is RGB (DevIL drops a 32-bit BMP's fourth octet); a palette BMP becomes opaque RGBA in
// the texture but RGB in a conversion; a TGA keeps alpha with 32 bits a pixel (or a palette of
// 32-bit entries); other formats keep what stb finds in them.
struct devil_layout {
    int texture_channels;
    bool alpha;
};

enum tga_image_type : uint8_t {
    tga_mapped = 1,
    tga_true_colour = 2,
    tga_grey = 3,
    tga_rle_mapped = 9,
    tga_rle_true_colour = 10,
    tga_rle_grey = 11,
};

devil_layout layout_of(image_kind kind, const std::vector<uint8_t> &bytes, int stb_channels) {
    constexpr std::size_t bmp_bits = 28, tga_type = 2, tga_map_bits = 7, tga_bits = 16;
    if (kind == image_kind::bmp && is_bmp(bytes)) {
        if (u16_at(bytes, bmp_bits) <= 8) return {4, false};
        return {3, false};
    }
    if (kind == image_kind::tga && bytes.size() > tga_bits) {
        switch (bytes[tga_type]) {
        case tga_mapped:
        case tga_rle_mapped:
            return bytes[tga_map_bits] == 32 ? devil_layout{4, true} : devil_layout{3, false};
        case tga_true_colour:
        case tga_rle_true_colour:
            return bytes[tga_bits] == 32 ? devil_layout{4, true} : devil_layout{3, false};
        case tga_grey:
        case tga_rle_grey:
            return {1, false};
        default:
            break;
        }
    }
    return {stb_channels, stb_channels == 2 || stb_channels == 4};
}

// Decodes bytes into image with channels per pixel (0: as many as the file has).
bool decode(const std::vector<uint8_t> &bytes, int channels, stb_pixels *image) {
    int in_file = 0;
    image->data = stbi_load_from_memory(bytes.data(), int(bytes.size()), &image->width,
                                        &image->height, &in_file, channels);
    image->channels = channels ? channels : in_file;
    return image->data != nullptr;
}

// The rows of pixels in the other order (bottom first from top first, or back).
std::vector<uint8_t> flipped(const uint8_t *pixels, int width, int height, int channels) {
    const std::size_t row = std::size_t(width) * std::size_t(channels);
    std::vector<uint8_t> out(row * std::size_t(height));
    for (int y = 0; y < height; y++)
        std::memcpy(&out[std::size_t(height - 1 - y) * row], pixels + std::size_t(y) * row, row);
    return out;
}

// OpenGL's client format for each channel count.
constexpr GLenum gl_formats[] = {0, GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};

// stb's writers hand their output over in pieces.
void append(void *context, void *data, int size) {
    auto *out = static_cast<std::vector<uint8_t> *>(context);
    const auto *bytes = static_cast<const uint8_t *>(data);
    out->insert(out->end(), bytes, bytes + size);
}

void to_stream(void *context, void *data, int size) {
    auto *stream = static_cast<std::FILE *>(context);
    if (size > 0) std::fwrite(data, 1, std::size_t(size), stream);
}

// ---- start

// ILUT's start-up leaves texturing on and rows packed one octet apart, which the drawing and the
// reads of the frame buffer count on.
void stb_start() {
    glEnable(GL_TEXTURE_2D);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
}

// ---- load_texture

int32_t stb_load_texture(const char *path, uint32_t *texture) {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0, in_file = 0;
    if (!read_whole(path, &bytes) ||
        !stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &in_file))
        return 1;
    const devil_layout layout = layout_of(image_kind_of(path), bytes, in_file);
    stb_pixels image;
    if (!decode(bytes, layout.texture_channels, &image)) return 1;
    const std::vector<uint8_t> rows =
        flipped(image.data, image.width, image.height, image.channels);
    const GLenum format = gl_formats[image.channels];

    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint made = 0;
    glGenTextures(1, &made);
    glBindTexture(GL_TEXTURE_2D, made);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, image.channels, image.width, image.height, 0, format,
                 GL_UNSIGNED_BYTE, rows.data());
    const bool uploaded = glGetError() == GL_NO_ERROR;
    if (uploaded)
        gluBuild2DMipmaps(GL_TEXTURE_2D, image.channels, image.width, image.height, format,
                          GL_UNSIGNED_BYTE, rows.data());
    if (!uploaded || made == 0) {
        if (made != 0) glDeleteTextures(1, &made);
        return 1;
    }
    *texture = made;
    return 0;
}

// ---- save_screen

// The frame read back: width x height RGB pixels, bottom row first, rows packed.
struct screen_pixels {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

void put_u16(std::vector<uint8_t> &out, uint32_t value) {
    out.push_back(uint8_t(value));
    out.push_back(uint8_t(value >> 8));
}

void put_u32(std::vector<uint8_t> &out, uint32_t value) {
    put_u16(out, value & 0xFFFF);
    put_u16(out, value >> 16);
}

// A bottom-up 24-bit BMP with the 40-octet info header, laid out as DevIL writes it (no image
// size, no resolution): the rows are already in its order.
bool write_bmp(std::FILE *stream, void *context) {
    const auto *screen = static_cast<const screen_pixels *>(context);
    constexpr uint32_t header_size = 14 + 40;
    const uint32_t row = (uint32_t(screen->width) * 3 + 3) & ~3u;
    std::vector<uint8_t> header = {'B', 'M'};
    put_u32(header, header_size + row * uint32_t(screen->height));
    put_u32(header, 0);
    put_u32(header, header_size);
    put_u32(header, 40);
    put_u32(header, uint32_t(screen->width));
    put_u32(header, uint32_t(screen->height));
    put_u16(header, 1);
    put_u16(header, 24);
    for (int field = 0; field < 6; field++)
        put_u32(header, 0);
    if (std::fwrite(header.data(), 1, header.size(), stream) != header.size()) return false;
    std::vector<uint8_t> line(row, 0);
    for (int y = 0; y < screen->height; y++) {
        const uint8_t *from = &screen->rgb[std::size_t(y) * std::size_t(screen->width) * 3];
        for (int x = 0; x < screen->width; x++) {
            line[std::size_t(x) * 3] = from[x * 3 + 2];
            line[std::size_t(x) * 3 + 1] = from[x * 3 + 1];
            line[std::size_t(x) * 3 + 2] = from[x * 3];
        }
        if (std::fwrite(line.data(), 1, line.size(), stream) != line.size()) return false;
    }
    return true;
}

// stb's writers take rows top first.
bool write_tga(std::FILE *stream, void *context) {
    const auto *screen = static_cast<const screen_pixels *>(context);
    const std::vector<uint8_t> rows = flipped(screen->rgb.data(), screen->width, screen->height, 3);
    stbi_write_tga_with_rle = 0;
    return stbi_write_tga_to_func(to_stream, stream, screen->width, screen->height, 3,
                                  rows.data()) != 0;
}

bool write_png_screen(std::FILE *stream, void *context) {
    const auto *screen = static_cast<const screen_pixels *>(context);
    const std::vector<uint8_t> rows = flipped(screen->rgb.data(), screen->width, screen->height, 3);
    return stbi_write_png_to_func(to_stream, stream, screen->width, screen->height, 3, rows.data(),
                                  screen->width * 3) != 0;
}

// The writer of each extension a screenshot may have (letter case aside).
struct screen_writer {
    const char *extension;
    bool (*write)(std::FILE *stream, void *context);
};
constexpr screen_writer screen_writers[] = {
    {"bmp", write_bmp}, {"tga", write_tga}, {"png", write_png_screen}};

const screen_writer *writer_for(const char *path) {
    const char *dot = std::strrchr(path, '.');
    if (!dot) return nullptr;
    std::string extension;
    for (const char *c = dot + 1; *c; c++)
        extension.push_back(char(*c >= 'A' && *c <= 'Z' ? *c - 'A' + 'a' : *c));
    for (const screen_writer &writer : screen_writers)
        if (extension == writer.extension) return &writer;
    return nullptr;
}

int32_t stb_save_screen(const char *path) {
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    screen_pixels screen{viewport[2], viewport[3], {}};
    if (screen.width <= 0 || screen.height <= 0) return image_no_capture;
    screen.rgb.resize(std::size_t(screen.width) * std::size_t(screen.height) * 3);
    while (glGetError() != GL_NO_ERROR) {
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, screen.width, screen.height, GL_RGB, GL_UNSIGNED_BYTE, screen.rgb.data());
    if (glGetError() != GL_NO_ERROR) return image_no_capture;
    errno = 0;
    const screen_writer *writer = writer_for(path);
    if (!writer) return image_not_saved;
    return write_beside(path, writer->write, &screen) ? image_saved : image_not_saved;
}

// ---- write_png

bool stb_write_png(std::FILE *stream, int32_t width, int32_t height, int32_t channels,
                   const uint8_t *pixels) {
    if (width < 1 || height < 1 || (channels != 3 && channels != 4)) return false;
    const std::vector<uint8_t> rows = flipped(pixels, width, height, channels);
    return stbi_write_png_to_func(to_stream, stream, width, height, channels, rows.data(),
                                  width * channels) != 0;
}

// ---- read_image

bool stb_read_image(const char *path, bool convert, std::vector<uint8_t> *png) {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0, in_file = 0;
    if (!read_whole(path, &bytes) ||
        !stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &in_file))
        return false;
    const devil_layout layout = layout_of(image_kind_of(path), bytes, in_file);
    stb_pixels image;
    if (!decode(bytes, layout.alpha ? 4 : 3, &image)) return false;
    if (!convert) return true;
    if (!png) return false;
    png->clear();
    return stbi_write_png_to_func(append, png, image.width, image.height, image.channels,
                                  image.data, image.width * image.channels) != 0 &&
           !png->empty();
}

// ---- encode_image

using encoder = int (*)(std::vector<uint8_t> *out, const stb_pixels &image);

int encode_png(std::vector<uint8_t> *out, const stb_pixels &image) {
    return stbi_write_png_to_func(append, out, image.width, image.height, image.channels,
                                  image.data, image.width * image.channels);
}
int encode_jpeg(std::vector<uint8_t> *out, const stb_pixels &image) {
    return stbi_write_jpg_to_func(append, out, image.width, image.height, image.channels,
                                  image.data, 95);
}
int encode_bmp(std::vector<uint8_t> *out, const stb_pixels &image) {
    return stbi_write_bmp_to_func(append, out, image.width, image.height, image.channels,
                                  image.data);
}
int encode_tga(std::vector<uint8_t> *out, const stb_pixels &image) {
    stbi_write_tga_with_rle = 0;
    return stbi_write_tga_to_func(append, out, image.width, image.height, image.channels,
                                  image.data);
}

// The encoder of each format and whether it keeps alpha, in scene_image_format's order. JPEG has
// none, and stb writes a BMP with alpha with a header DevIL 1.7 refuses (a 32-bit BMP's fourth
// octet is lost on DevIL's side anyway): BMPs are written with 24 bits.
struct format_encoder {
    encoder encode;
    bool alpha;
};
constexpr format_encoder encoders[] = {
    {encode_png, true}, {encode_jpeg, false}, {encode_bmp, false}, {encode_tga, true}};

bool stb_encode_image(const scene_image &image, int32_t format, std::vector<uint8_t> *out) {
    if (format < 0 || format >= int32_t(std::size(encoders))) return false;
    const std::vector<uint8_t> &bytes = image.bytes;
    int width = 0, height = 0, in_file = 0;
    if (bytes.empty() || bytes.size() > std::size_t(INT32_MAX) ||
        !stbi_info_from_memory(bytes.data(), int(bytes.size()), &width, &height, &in_file))
        return false;
    // The bytes name no format: a BMP shows by its signature, the rest keep what stb finds.
    const devil_layout layout =
        layout_of(is_bmp(bytes) ? image_kind::bmp : image_kind::other, bytes, in_file);
    stb_pixels pixels;
    if (!decode(bytes, layout.alpha && encoders[format].alpha ? 4 : 3, &pixels)) return false;
    out->clear();
    return encoders[format].encode(out, pixels) != 0 && !out->empty();
}

} // namespace

const image_backend stb_image_backend = {
    "stb",         stb_start,      stb_load_texture, stb_save_screen,
    stb_write_png, stb_read_image, stb_encode_image,
};
