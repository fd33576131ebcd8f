// SPDX-License-Identifier: MIT
// The image encoder of a converted model's textures: a glTF file carries PNG or JPEG bytes while
// the mesh may name its texture "skin.bmp" (as it did before it was exported); DevIL decodes such
// bytes and writes them again in the named format, so the file beside the mesh is what its name
// says.
#include "viewer/textures/scene_images.h"

#include <IL/il.h>

#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/textures/image_png.h"

namespace {

// DevIL's type for each format an image can be written in, in scene_image_format's order.
constexpr ILenum devil_types[] = {IL_PNG, IL_JPG, IL_BMP, IL_TGA};

} // namespace

// ---- encode_scene_image

bool encode_scene_image(const scene_image &image, std::vector<uint8_t> *out) {
    const scene_image_format format = named_image_format(image);
    if (format == image_format_unknown) return false;
    if (image_in_named_format(image)) {
        *out = image.bytes;
        return true;
    }
    const ILenum type = devil_types[format];
    static bool devil_ready = false;
    if (!devil_ready) {
        ilInit();
        devil_ready = true;
    }
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
    const ILuint size = ok ? ilSaveL(type, nullptr, 0) : 0;
    if (size > 0) {
        out->resize(size);
        const ILuint written = ilSaveL(type, out->data(), size);
        ok = written > 0 && written <= size;
        if (ok) out->resize(written);
    } else {
        ok = false;
    }
    ilBindImage(0);
    ilDeleteImages(1, &name);
    forget_devil_errors();
    return ok;
}
