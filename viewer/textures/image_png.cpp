// SPDX-License-Identifier: MIT
// DevIL's side of the glTF export's textures. DevIL's PNG writer stores the rows top first
// whatever the source's row order, which is what glTF's texture coordinates expect.
#include "viewer/textures/image_png.h"

#include <IL/il.h>

void forget_devil_errors() {
    while (ilGetError() != IL_NO_ERROR) {
    }
}

namespace {

// The current DevIL image as PNG bytes in 8-bit RGB or RGBA; false when DevIL cannot.
bool save_png(std::vector<uint8_t> *out) {
    ILint format = ilGetInteger(IL_IMAGE_FORMAT);
    ILint palette = ilGetInteger(IL_PALETTE_TYPE);
    bool alpha =
        format == IL_RGBA || format == IL_BGRA || format == IL_LUMINANCE_ALPHA ||
        (format == IL_COLOUR_INDEX && (palette == IL_PAL_RGBA32 || palette == IL_PAL_BGRA32));
    if (!ilConvertImage(alpha ? IL_RGBA : IL_RGB, IL_UNSIGNED_BYTE)) return false;
    ILuint size = ilSaveL(IL_PNG, nullptr, 0);
    if (size == 0) return false;
    out->resize(size);
    ILuint written = ilSaveL(IL_PNG, out->data(), size);
    if (written == 0 || written > size) return false;
    out->resize(written);
    return true;
}

} // namespace

bool read_image_with_devil(const char *path, bool convert, std::vector<uint8_t> *png) {
    static bool devil_ready = false;
    if (!devil_ready) {
        ilInit();
        devil_ready = true;
    }
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
