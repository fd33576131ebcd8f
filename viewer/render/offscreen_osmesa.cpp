// SPDX-License-Identifier: MIT
// An OSMesa context drawing into memory, for pictures made without a display. OSMesa runs the
// same software rasteriser (llvmpipe) as Mesa's GLX under Xvfb, so with the same render state and
// depth buffer a picture here matches the viewer's window pixel for pixel.
#include "viewer/render/offscreen.h"

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cerrno>
#include <cstdio>

#include "viewer/render/gl_window.h"
#include "viewer/textures/image_io.h"

namespace {

// The depth buffer the viewer's window gets from Mesa: GLX offers the deepest one for SDL's
// request of 16 bits. A shallower one would settle near surfaces differently.
constexpr GLint depth_bits = 32;

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

int32_t open_offscreen(offscreen_target *target, int32_t width, int32_t height) {
    if (width < 1 || height < 1 || width > offscreen_max_side || height > offscreen_max_side) {
        std::fprintf(stderr, "A picture of %dx%d pixels is not possible: at most %d a side\n",
                     width, height, offscreen_max_side);
        return offscreen_bad_size;
    }
    OSMesaContext context = OSMesaCreateContextExt(OSMESA_RGBA, depth_bits, 0, 0, nullptr);
    if (!context) {
        std::fprintf(stderr, "Can't create an offscreen OpenGL context\n");
        return offscreen_no_context;
    }
    target->colour.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4,
                          0);
    if (!OSMesaMakeCurrent(context, target->colour.data(), GL_UNSIGNED_BYTE, width, height)) {
        std::fprintf(stderr, "Can't draw into a %dx%d offscreen picture\n", width, height);
        OSMesaDestroyContext(context);
        target->colour = {};
        return offscreen_no_context;
    }
    target->context = context;
    target->width = width;
    target->height = height;
    init_gl_state(width, height);
    return offscreen_ok;
}

void close_offscreen(offscreen_target *target) {
    if (!target->context) return;
    OSMesaDestroyContext(static_cast<OSMesaContext>(target->context));
    *target = offscreen_target{};
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
