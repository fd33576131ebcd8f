// SPDX-License-Identifier: MIT
// The image module's entry points: the glTF export's image reader and the encoder of a converted
// model's images, with DevIL.
#include "parts.h"
#include "viewer/textures/image_png.h"
#include "viewer/textures/scene_images.h"

extern "C" __attribute__((visibility("default"))) gltf_image_reader tkmtool_image_reader() {
    return read_image_with_devil;
}

extern "C" __attribute__((visibility("default"))) scene_image_encoder tkmtool_image_encoder() {
    return encode_scene_image;
}
