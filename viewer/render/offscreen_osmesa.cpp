// SPDX-License-Identifier: MIT
// An OSMesa context drawing into memory, for pictures made without a display. OSMesa runs the
// same software rasteriser (llvmpipe) as Mesa's GLX under Xvfb, so with the same render state and
// depth buffer a picture here matches the viewer's window pixel for pixel.
#include "viewer/render/offscreen.h"

#include <GL/gl.h>
#include <GL/osmesa.h>

#include <cstdio>

namespace {

// The depth buffer the viewer's window gets from Mesa: GLX offers the deepest one for SDL's
// request of 16 bits. A shallower one would settle near surfaces differently.
constexpr GLint depth_bits = 32;

} // namespace

int32_t open_offscreen(offscreen_target *target, int32_t width, int32_t height) {
    if (!offscreen_size_is_possible(width, height)) return offscreen_bad_size;
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
    return start_offscreen(target, context, width, height);
}

void close_offscreen(offscreen_target *target) {
    if (!target->context) return;
    OSMesaDestroyContext(static_cast<OSMesaContext>(target->context));
    *target = offscreen_target{};
}
