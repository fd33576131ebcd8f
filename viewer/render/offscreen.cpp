// SPDX-License-Identifier: MIT
// An OSMesa context drawing into memory, for pictures made without a display. OSMesa runs the
// same software rasteriser (llvmpipe) as Mesa's GLX under Xvfb, so with the same render state and
// depth buffer a picture here matches the viewer's window pixel for pixel.
#include "viewer/render/offscreen.h"

#include <GL/gl.h>
#include <GL/osmesa.h>
#include <IL/il.h>

#include <cerrno>
#include <cstdio>

#include "support/scratch_write.h"
#include "viewer/render/gl_window.h"

namespace {

// The depth buffer the viewer's window gets from Mesa: GLX offers the deepest one for SDL's
// request of 16 bits. A shallower one would settle near surfaces differently.
constexpr GLint depth_bits = 32;

void forget_devil_errors() {
    while (ilGetError() != IL_NO_ERROR) {
    }
}

// Writes the bound DevIL image as PNG to a scratch file that replaces path once complete; errno
// holds the system's reason for a failure (0 when it was DevIL's).
int32_t write_png_beside(const char *path) {
    scratch_file *file = open_scratch_file(path);
    if (!file) return offscreen_not_saved;
    bool complete = ilSaveF(IL_PNG, file->stream) != 0 && ilGetError() == IL_NO_ERROR;
    int reason = finish_scratch_file(file, complete);
    errno = reason;
    return complete && reason == 0 ? offscreen_ok : offscreen_not_saved;
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
    forget_devil_errors();
    ILuint image = 0;
    ilGenImages(1, &image);
    if (ilGetError() != IL_NO_ERROR) return offscreen_no_image;
    ilBindImage(image);
    // A new DevIL image counts its rows from the bottom, as OpenGL hands them over.
    int32_t result = offscreen_no_image;
    int reason = 0;
    if (ilTexImage(static_cast<ILuint>(target->width), static_cast<ILuint>(target->height), 1,
                   static_cast<ILubyte>(channels), channels == 4 ? IL_RGBA : IL_RGB,
                   IL_UNSIGNED_BYTE, pixels.data())) {
        result = write_png_beside(path);
        reason = errno;
    }
    ilDeleteImages(1, &image);
    forget_devil_errors();
    errno = reason;
    return result;
}
