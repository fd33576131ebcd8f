// SPDX-License-Identifier: MIT
// Encoding a converted model's images, with DevIL, in the format each file name asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct scene_image;
struct tkm_mesh;

// The bytes of image in the format its file_name's extension names (BMP, TGA, PNG or JPEG):
// as they are when they already are that, else decoded and encoded again by DevIL. False when
// DevIL cannot.
bool encode_scene_image(const scene_image &image, std::vector<uint8_t> *out);

// The viewer's glTF branch of the mesh load: the mesh built from the file, its images written
// beside the file itself (named after its stem), where the viewer looks for the mesh's textures.
// 0, or the code of the failed read or build (printed).
int load_gltf_mesh(const char *path, tkm_mesh *mesh);
