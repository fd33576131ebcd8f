// SPDX-License-Identifier: MIT
// Drawing without a window on Windows: a WGL context on a hidden window, drawing into a
// framebuffer object of the picture's size (a hidden window's own buffer holds no pixels one can
// rely on). The framebuffer's depth matches what the viewer's window and OSMesa draw with, so a
// picture here matches the viewer's under the same rasteriser.
#include "viewer/render/offscreen.h"

#include <windows.h>

#include <GL/gl.h>

#include <cstdio>
#include <new>

namespace {

// The framebuffer-object calls (GL_EXT_framebuffer_object), which opengl32 does not export.
constexpr GLenum framebuffer_ext = 0x8D40;
constexpr GLenum renderbuffer_ext = 0x8D41;
constexpr GLenum colour_attachment0_ext = 0x8CE0;
constexpr GLenum depth_attachment_ext = 0x8D00;
constexpr GLenum framebuffer_complete_ext = 0x8CD5;
constexpr GLenum rgba8 = 0x8058;
constexpr GLenum depth_component32 = 0x81A7;

using gen_names = void(APIENTRY *)(GLsizei, GLuint *);
using bind_name = void(APIENTRY *)(GLenum, GLuint);
using storage = void(APIENTRY *)(GLenum, GLenum, GLsizei, GLsizei);
using attach = void(APIENTRY *)(GLenum, GLenum, GLenum, GLuint);
using status = GLenum(APIENTRY *)(GLenum);
using delete_names = void(APIENTRY *)(GLsizei, const GLuint *);

struct framebuffer_calls {
    gen_names gen_framebuffers;
    bind_name bind_framebuffer;
    gen_names gen_renderbuffers;
    bind_name bind_renderbuffer;
    storage renderbuffer_storage;
    attach framebuffer_renderbuffer;
    status check_framebuffer_status;
    delete_names delete_framebuffers;
    delete_names delete_renderbuffers;
};

template <class T> bool look_up(T *call, const char *name) {
    *call = reinterpret_cast<T>(reinterpret_cast<void *>(wglGetProcAddress(name)));
    return *call != nullptr;
}

bool look_up_all(framebuffer_calls *calls) {
    return look_up(&calls->gen_framebuffers, "glGenFramebuffersEXT") &&
           look_up(&calls->bind_framebuffer, "glBindFramebufferEXT") &&
           look_up(&calls->gen_renderbuffers, "glGenRenderbuffersEXT") &&
           look_up(&calls->bind_renderbuffer, "glBindRenderbufferEXT") &&
           look_up(&calls->renderbuffer_storage, "glRenderbufferStorageEXT") &&
           look_up(&calls->framebuffer_renderbuffer, "glFramebufferRenderbufferEXT") &&
           look_up(&calls->check_framebuffer_status, "glCheckFramebufferStatusEXT") &&
           look_up(&calls->delete_framebuffers, "glDeleteFramebuffersEXT") &&
           look_up(&calls->delete_renderbuffers, "glDeleteRenderbuffersEXT");
}

constexpr wchar_t class_name[] = L"TarvikOffscreen";

struct wgl_offscreen {
    HWND window = nullptr;
    HDC device = nullptr;
    HGLRC context = nullptr;
    framebuffer_calls calls{};
    GLuint framebuffer = 0;
    GLuint colour = 0;
    GLuint depth = 0;
};

void release(wgl_offscreen *offscreen) {
    if (offscreen->context && wglGetCurrentContext() == offscreen->context) {
        if (offscreen->framebuffer)
            offscreen->calls.delete_framebuffers(1, &offscreen->framebuffer);
        const GLuint buffers[] = {offscreen->colour, offscreen->depth};
        if (offscreen->colour) offscreen->calls.delete_renderbuffers(2, buffers);
        wglMakeCurrent(nullptr, nullptr);
    }
    if (offscreen->context) wglDeleteContext(offscreen->context);
    if (offscreen->device) ReleaseDC(offscreen->window, offscreen->device);
    if (offscreen->window) DestroyWindow(offscreen->window);
    delete offscreen;
}

// A context on a window that is never shown, current on success.
bool make_context(wgl_offscreen *offscreen) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW description{};
    description.style = CS_OWNDC;
    description.lpfnWndProc = DefWindowProcW;
    description.hInstance = instance;
    description.lpszClassName = class_name;
    RegisterClassW(&description); // already there from an earlier picture: as good
    offscreen->window = CreateWindowExW(0, class_name, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                        instance, nullptr);
    if (!offscreen->window) return false;
    offscreen->device = GetDC(offscreen->window);
    PIXELFORMATDESCRIPTOR wanted{};
    wanted.nSize = sizeof wanted;
    wanted.nVersion = 1;
    wanted.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;
    wanted.iPixelType = PFD_TYPE_RGBA;
    wanted.cColorBits = 32;
    wanted.cAlphaBits = 8;
    wanted.iLayerType = PFD_MAIN_PLANE;
    const int format = offscreen->device ? ChoosePixelFormat(offscreen->device, &wanted) : 0;
    return format != 0 && SetPixelFormat(offscreen->device, format, &wanted) &&
           (offscreen->context = wglCreateContext(offscreen->device)) != nullptr &&
           wglMakeCurrent(offscreen->device, offscreen->context);
}

// The picture's own framebuffer, bound for drawing and reading.
bool make_framebuffer(wgl_offscreen *offscreen, int32_t width, int32_t height) {
    framebuffer_calls &calls = offscreen->calls;
    if (!look_up_all(&calls)) return false;
    calls.gen_framebuffers(1, &offscreen->framebuffer);
    calls.bind_framebuffer(framebuffer_ext, offscreen->framebuffer);
    calls.gen_renderbuffers(1, &offscreen->colour);
    calls.bind_renderbuffer(renderbuffer_ext, offscreen->colour);
    calls.renderbuffer_storage(renderbuffer_ext, rgba8, width, height);
    calls.framebuffer_renderbuffer(framebuffer_ext, colour_attachment0_ext, renderbuffer_ext,
                                   offscreen->colour);
    calls.gen_renderbuffers(1, &offscreen->depth);
    calls.bind_renderbuffer(renderbuffer_ext, offscreen->depth);
    calls.renderbuffer_storage(renderbuffer_ext, depth_component32, width, height);
    calls.framebuffer_renderbuffer(framebuffer_ext, depth_attachment_ext, renderbuffer_ext,
                                   offscreen->depth);
    return calls.check_framebuffer_status(framebuffer_ext) == framebuffer_complete_ext;
}

} // namespace

int32_t open_offscreen(offscreen_target *target, int32_t width, int32_t height) {
    if (!offscreen_size_is_possible(width, height)) return offscreen_bad_size;
    auto *offscreen = new (std::nothrow) wgl_offscreen;
    if (!offscreen || !make_context(offscreen)) {
        std::fprintf(stderr, "Can't create an offscreen OpenGL context\n");
        if (offscreen) release(offscreen);
        return offscreen_no_context;
    }
    if (!make_framebuffer(offscreen, width, height)) {
        std::fprintf(stderr, "Can't draw into a %dx%d offscreen picture\n", width, height);
        release(offscreen);
        return offscreen_no_context;
    }
    return start_offscreen(target, offscreen, width, height);
}

void close_offscreen(offscreen_target *target) {
    if (!target->context) return;
    release(static_cast<wgl_offscreen *>(target->context));
    *target = offscreen_target{};
}
