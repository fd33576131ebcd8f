// SPDX-License-Identifier: MIT
// The image encoder of a converted model's textures: a glTF file carries PNG or JPEG bytes while
// the mesh may name its texture "skin.bmp" (as it did before it was exported); the image library
// decodes such bytes and writes them again in the named format, so the file beside the mesh is what
// its name says.
#include "viewer/textures/scene_images.h"

#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/textures/image_io.h"

// ---- encode_scene_image

bool encode_scene_image(const scene_image &image, std::vector<uint8_t> *out) {
    const scene_image_format format = named_image_format(image);
    if (format == image_format_unknown) return false;
    if (image_in_named_format(image)) {
        *out = image.bytes;
        return true;
    }
    return current_image_backend().encode_image(image, format, out);
}
