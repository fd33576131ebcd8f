// Images of a converted model written beside it. A glTF file carries PNG or JPEG bytes while the
// mesh may name its texture "skin.bmp" (as it did before it was exported): such bytes are decoded
// and written again by DevIL in the named format, so the file beside the mesh is what its name
// says.
//
// Index: formats | encode_scene_image | write_scene_images
#include "viewer/textures/scene_images.h"

#include <IL/il.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "support/messages.h"
#include "support/scratch_write.h"
#include "viewer/scene/scene.h"
#include "viewer/textures/image_png.h"

namespace {

// ---- formats

// The formats an image can be written in: the file name's extension, DevIL's type, and the
// first bytes of such a file (none for TGA, which has no signature: it is always encoded).
struct image_format {
    const char *extension;
    ILenum type;
    std::vector<uint8_t> signature;
};
const image_format image_formats[] = {
    {".png", IL_PNG, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}},
    {".jpg", IL_JPG, {0xFF, 0xD8, 0xFF}},
    {".jpeg", IL_JPG, {0xFF, 0xD8, 0xFF}},
    {".bmp", IL_BMP, {'B', 'M'}},
    {".tga", IL_TGA, {}},
};

const image_format *format_of(const std::string &file_name) {
    const size_t dot = file_name.find_last_of('.');
    if (dot == std::string::npos) return nullptr;
    std::string extension = file_name.substr(dot);
    for (char &c : extension)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    for (const image_format &format : image_formats)
        if (extension == format.extension) return &format;
    return nullptr;
}

bool starts_with(const std::vector<uint8_t> &bytes, const std::vector<uint8_t> &signature) {
    return !signature.empty() && bytes.size() >= signature.size() &&
           std::equal(signature.begin(), signature.end(), bytes.begin());
}

bool same_content(const std::string &path, const std::vector<uint8_t> &bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::vector<uint8_t> old((std::istreambuf_iterator<char>(in)), {});
    return old == bytes;
}

} // namespace

// ---- encode_scene_image

bool encode_scene_image(const scene_image &image, std::vector<uint8_t> *out) {
    const image_format *format = format_of(image.file_name);
    if (!format) return false;
    if (starts_with(image.bytes, format->signature)) {
        *out = image.bytes;
        return true;
    }
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
    ok = ok && ilConvertImage(alpha && format->type != IL_JPG ? IL_RGBA : IL_RGB,
                              IL_UNSIGNED_BYTE) == IL_TRUE;
    const ILuint size = ok ? ilSaveL(format->type, nullptr, 0) : 0;
    if (size > 0) {
        out->resize(size);
        const ILuint written = ilSaveL(format->type, out->data(), size);
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

// ---- write_scene_images

int write_scene_images(const std::vector<scene_image> &images, const std::string &directory) {
    int failed = 0;
    for (const scene_image &image : images) {
        const std::string target =
            directory.empty() ? image.file_name
                              : directory + (directory.back() == '/' ? "" : "/") + image.file_name;
        std::vector<uint8_t> bytes;
        if (!encode_scene_image(image, &bytes)) {
            real_meow("Can't write texture %s: its image cannot be converted\n", target.c_str());
            failed++;
            continue;
        }
        if (same_content(target, bytes)) continue;
        const int reason = replace_file_bytes(target.c_str(), bytes.data(), bytes.size());
        if (reason == 0) {
            real_purr("Wrote texture %s\n", target.c_str());
        } else {
            real_meow("Can't write texture %s%s\n", target.c_str(), colon_reason(reason).c_str());
            failed++;
        }
    }
    return failed;
}
