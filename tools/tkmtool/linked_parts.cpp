// SPDX-License-Identifier: MIT
// tkmtool's optional parts linked in: what the tests and the drawing module itself use.
#include "parts.h"
#include "viewer/textures/image_png.h"
#include "viewer/textures/scene_images.h"

gltf_image_reader image_reader() {
    return read_image_with_devil;
}

scene_image_encoder image_encoder(const char *) {
    return encode_scene_image;
}
