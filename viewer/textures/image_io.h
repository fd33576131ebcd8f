// SPDX-License-Identifier: MIT
// What the viewer needs of an image library, as one table of calls per library: DevIL with ILUT
// where the system has it (Linux), stb's reader and writer compiled in where it does not
// (Windows). Both give the same texels for the same file: rows bottom first, as OpenGL counts
// them; the channels DevIL keeps (no alpha from a BMP, alpha from a 32-bit TGA, opaque RGBA from a
// palette); the mipmaps GLU builds, which also bring a side that is no power of two to the nearest
// one.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

struct scene_image;

// Result codes of an image_backend's save_screen.
enum image_save_result : int32_t {
    image_saved = 0,
    image_no_image = 1,   // no image could be made to hold the capture
    image_no_capture = 2, // the frame buffer could not be read
    image_not_saved = 4,  // the file could not be written; the old file is kept, errno says why
                          // (0 when the system did not refuse)
};

// One image library's side of the viewer.
struct image_backend {
    const char *name;
    // Start-up, once the GL context exists.
    void (*start)();
    // Decodes the image file at path (UTF-8) into a new OpenGL texture with its mipmaps, left
    // bound, its name in *texture. 0; 1 when the file does not decode; else the library's error
    // code. Nothing is made on failure.
    int32_t (*load_texture)(const char *path, uint32_t *texture);
    // Saves the current read buffer (the back buffer), viewport-sized, to path in the format its
    // extension names, through a scratch file. An image_save_result.
    int32_t (*save_screen)(const char *path);
    // Writes width x height pixels of channels (3 RGB or 4 RGBA) octets, bottom row first, rows
    // packed, to stream as a PNG file. False when the library cannot.
    bool (*write_png)(std::FILE *stream, int32_t width, int32_t height, int32_t channels,
                      const uint8_t *pixels);
    // A gltf_image_reader: true when the image file at path decodes; with convert, the picture as
    // 8-bit RGB or RGBA PNG bytes, top row first, goes into *png.
    bool (*read_image)(const char *path, bool convert, std::vector<uint8_t> *png);
    // The picture of image's bytes encoded in format (a scene_image_format: PNG, JPEG, BMP, TGA),
    // with alpha where the format holds it. False when the bytes do not decode.
    bool (*encode_image)(const scene_image &image, int32_t format, std::vector<uint8_t> *out);
};

extern const image_backend devil_image_backend;
extern const image_backend stb_image_backend;

// The library this build uses (DevIL on Linux, stb on Windows).
const image_backend &current_image_backend();

// Writes through a scratch file that replaces path only once write returned true and every octet
// reached the disk. True then; otherwise errno holds the system's reason (0 when it was write's).
bool write_beside(const char *path, bool (*write)(std::FILE *stream, void *context), void *context);
