// SPDX-License-Identifier: MIT
// The offscreen picture read back and saved, alike for every system's context
// (offscreen_osmesa.cpp, offscreen_wgl.cpp): both leave the picture in the current context's colour
// buffer.
#include "viewer/render/offscreen.h"

#include <GL/gl.h>

#include <cstdio>

#include "viewer/render/gl_window.h"
#include "viewer/textures/image_io.h"

namespace {

// The picture to write as PNG.
struct png_picture {
    const offscreen_target *target;
    int32_t channels;
    const std::vector<uint8_t> *pixels;
};

bool write_png(std::FILE *stream, void *context) {
    const auto *picture = static_cast<const png_picture *>(context);
    return current_image_backend().write_png(stream, picture->target->width,
                                             picture->target->height, picture->channels,
                                             picture->pixels->data());
}

} // namespace

bool offscreen_size_is_possible(int32_t width, int32_t height) {
    if (width >= 1 && height >= 1 && width <= offscreen_max_side && height <= offscreen_max_side)
        return true;
    std::fprintf(stderr, "A picture of %dx%d pixels is not possible: at most %d a side\n", width,
                 height, offscreen_max_side);
    return false;
}

int32_t start_offscreen(offscreen_target *target, void *context, int32_t width, int32_t height) {
    target->context = context;
    target->width = width;
    target->height = height;
    init_gl_state(width, height);
    return offscreen_ok;
}

std::vector<uint8_t> read_offscreen_pixels(const offscreen_target *target, int32_t channels) {
    if (!target->context || (channels != 3 && channels != 4)) return {};
    std::vector<uint8_t> pixels(static_cast<std::size_t>(target->width) *
                                static_cast<std::size_t>(target->height) *
                                static_cast<std::size_t>(channels));
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, target->width, target->height, channels == 4 ? GL_RGBA : GL_RGB,
                 GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

int32_t save_offscreen_png(const offscreen_target *target, const char *path, int32_t channels) {
    std::vector<uint8_t> pixels = read_offscreen_pixels(target, channels);
    if (pixels.empty()) return offscreen_no_image;
    png_picture picture{target, channels, &pixels};
    return write_beside(path, write_png, &picture) ? offscreen_ok : offscreen_not_saved;
}
