// SPDX-License-Identifier: MIT
// DevIL with ILUT as the viewer's image library. ILUT uploads the decoded rows bottom first,
// whatever the file's own order, and its mipmaps are GLU's, which also scale a side that is no
// power of two to the nearest one.
//
// Index: start - load_texture - save_screen - write_png - read_image - encode_image
#include "viewer/textures/image_io.h"

#include <GL/gl.h>
#define ILUT_USE_OPENGL
#include <IL/il.h>
#include <IL/ilut.h>

#include <cerrno>
#include <iterator>

#include "viewer/scene/scene.h"
#include "viewer/textures/image_png.h"

namespace {

// Empties DevIL's error stack, so that a code left from an earlier failure is not taken for the
// result of the next call.
void forget_devil_errors() {
    while (ilGetError() != IL_NO_ERROR) {
    }
}

// The renderer must be chosen once the GL context exists, or ILUT takes the maximum texture size
// as 256 and scales every image down.
void devil_start() {
    ilInit();
    ilutRenderer(ILUT_OPENGL);
}

int32_t devil_load_texture(const char *path, uint32_t *texture) {
    forget_devil_errors();
    ILuint image = 0;
    ilGenImages(1, &image);
    if (ILenum error = ilGetError(); error != IL_NO_ERROR) return static_cast<int32_t>(error);
    ilBindImage(image);
    if (!ilLoadImage(path)) {
        ilDeleteImages(1, &image);
        forget_devil_errors();
        return 1;
    }
    GLuint made = ilutGLBindTexImage();
    if (ILenum error = ilGetError(); error != IL_NO_ERROR || made == 0) {
        if (made != 0) glDeleteTextures(1, &made);
        ilDeleteImages(1, &image);
        forget_devil_errors();
        return error != IL_NO_ERROR ? static_cast<int32_t>(error) : 1;
    }
    ilutGLBuildMipmaps();
    // The texture holds its own copy of the pixels: the decoded image is not needed any more.
    ilDeleteImages(1, &image);
    forget_devil_errors();
    glBindTexture(GL_TEXTURE_2D, made);
    *texture = made;
    return 0;
}

// Writes the bound image in the type chosen to a stream.
struct devil_save {
    ILenum type;
};

bool save_bound_image(std::FILE *stream, void *context) {
    const ILenum type = static_cast<devil_save *>(context)->type;
    return ilSaveF(type, stream) != 0 && ilGetError() == IL_NO_ERROR;
}

int32_t devil_save_screen(const char *path) {
    forget_devil_errors();
    ILuint image = 0;
    ilGenImages(1, &image);
    if (ilGetError() != IL_NO_ERROR) return image_no_image;
    ilBindImage(image);
    if (!ilutGLScreen()) {
        ilDeleteImages(1, &image);
        forget_devil_errors();
        return image_no_capture;
    }
    devil_save save{ilTypeFromExt(path)};
    bool saved = false;
    errno = 0;
    if (save.type != IL_TYPE_UNKNOWN) saved = write_beside(path, save_bound_image, &save);
    const int reason = errno;
    ilDeleteImages(1, &image);
    forget_devil_errors();
    errno = reason;
    return saved ? image_saved : image_not_saved;
}

bool devil_write_png(std::FILE *stream, int32_t width, int32_t height, int32_t channels,
                     const uint8_t *pixels) {
    forget_devil_errors();
    ILuint image = 0;
    ilGenImages(1, &image);
    if (ilGetError() != IL_NO_ERROR) return false;
    ilBindImage(image);
    // A new DevIL image counts its rows from the bottom, as OpenGL hands them over.
    bool written = false;
    if (ilTexImage(static_cast<ILuint>(width), static_cast<ILuint>(height), 1,
                   static_cast<ILubyte>(channels), channels == 4 ? IL_RGBA : IL_RGB,
                   IL_UNSIGNED_BYTE, const_cast<uint8_t *>(pixels))) {
        devil_save save{IL_PNG};
        written = save_bound_image(stream, &save);
    }
    ilDeleteImages(1, &image);
    forget_devil_errors();
    return written;
}

// DevIL is started on first use by the readers below: tkmtool and the tests use them without a
// GL context, where devil_start cannot run.
void start_decoding() {
    static bool devil_ready = false;
    if (!devil_ready) {
        ilInit();
        devil_ready = true;
    }
}

// The bound image as bytes of type (DevIL's PNG writer stores the rows top first whatever the
// source's row order); false when DevIL cannot.
bool save_bound_as(ILenum type, std::vector<uint8_t> *out) {
    const ILuint size = ilSaveL(type, nullptr, 0);
    if (size == 0) return false;
    out->resize(size);
    const ILuint written = ilSaveL(type, out->data(), size);
    if (written == 0 || written > size) return false;
    out->resize(written);
    return true;
}

// The current DevIL image as PNG bytes in 8-bit RGB or RGBA; false when DevIL cannot.
bool save_png(std::vector<uint8_t> *out) {
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    ILint palette = ilGetInteger(IL_PALETTE_TYPE);
    bool alpha =
        format == IL_RGBA || format == IL_BGRA || format == IL_LUMINANCE_ALPHA ||
        (format == IL_COLOUR_INDEX && (palette == IL_PAL_RGBA32 || palette == IL_PAL_BGRA32));
    if (!ilConvertImage(alpha ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE)) return false;
    return save_bound_as(IL_PNG, out);
}

// DevIL's type for each format an image can be written in, in scene_image_format's order.
constexpr ILenum devil_types[] = {IL_PNG, IL_JPG, IL_BMP, IL_TGA};

bool devil_encode_image(const scene_image &image, int32_t format, std::vector<uint8_t> *out) {
    if (format < 0 || format >= static_cast<int32_t>(std::size(devil_types))) return false;
    const ILenum type = devil_types[format];
    start_decoding();
    forget_devil_errors();
    ILuint name = 0;
    ilGenImages(1, &name);
    ilBindImage(name);
    bool ok = ilLoadL(IL_TYPE_UNKNOWN, image.bytes.data(), ILuint(image.bytes.size())) == IL_TRUE;
    // BMP and TGA hold no more than 8 bits a channel, and JPEG no alpha.
    const bool alpha = ilGetInteger(IL_IMAGE_FORMAT) == IL_RGBA ||
                       ilGetInteger(IL_IMAGE_FORMAT) == IL_BGRA ||
                       ilGetInteger(IL_IMAGE_FORMAT) == IL_LUMINANCE_ALPHA;
    ok = ok &&
         ilConvertImage(alpha && type != IL_JPG ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE) == IL_TRUE;
    ok = ok && save_bound_as(type, out);
    ilBindImage(0);
    ilDeleteImages(1, &name);
    forget_devil_errors();
    return ok;
}

} // namespace

bool read_image_with_devil(const char *path, bool convert, std::vector<uint8_t> *png) {
    start_decoding();
    forget_devil_errors();
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    bool ok = ilLoadImage(path) == IL_TRUE;
    if (ok && convert) ok = png && save_png(png);
    ilBindImage(0);
    ilDeleteImages(1, &image);
    forget_devil_errors();
    return ok;
}

const image_backend devil_image_backend = {
    "DevIL",         devil_start,           devil_load_texture, devil_save_screen,
    devil_write_png, read_image_with_devil, devil_encode_image,
};
