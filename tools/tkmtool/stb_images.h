// SPDX-License-Identifier: MIT
// tkmtool's images, compiled in with stb on every system: the texture reader of export-gltf and
// the encoder of a converted model's images (a PNG its mesh names "skin.bmp").
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/gltf/gltf_export.h"
#include "viewer/scene/image_files.h"

// A gltf_image_reader: true when the image file at path (UTF-8) decodes; with convert, the image
// as 8-bit RGB or (when it has alpha) RGBA PNG bytes, top row first, goes into *png.
bool read_image_with_stb(const char *path, bool convert, std::vector<uint8_t> *png);
// A scene_image_encoder: image's bytes in the format its file name's extension names (PNG, JPEG,
// BMP or TGA), as they are when they already are that, else decoded and encoded again. False when
// they do not decode or the name names no format.
bool encode_image_with_stb(const scene_image &image, std::vector<uint8_t> *out);

// The image reader of export-gltf, never null.
gltf_image_reader image_reader();
// The encoder of a converted model's images, never null; command names what needs it.
scene_image_encoder image_encoder(const char *command);
