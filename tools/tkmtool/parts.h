// SPDX-License-Identifier: MIT
// The parts of tkmtool whose libraries load only when a command needs them: drawing (OSMesa) for
// render and thumbnail, and image decoding (DevIL) for the textures of export-gltf. tkmtool
// itself loads them as modules (loaded_parts.cpp); the tests link them in (linked_parts.cpp).
#pragma once

#include <string>
#include <vector>

#include "viewer/gltf/gltf_export.h"
#include "viewer/scene/image_files.h"

// The image reader of export-gltf; null when it cannot be had, with the reason and the Debian
// package to install printed on standard error.
gltf_image_reader image_reader();
// The encoder of a converted model's images (a PNG its mesh names "skin.bmp"); null when it
// cannot be had, with the reason and the package printed, command naming what needed it.
scene_image_encoder image_encoder(const char *command);

// The drawing part's entry point, by which the module runs render and thumbnail.
inline constexpr const char *drawing_entry_point = "tkmtool_drawing_command";
// The image part's entry point, which returns its gltf_image_reader.
inline constexpr const char *image_entry_point = "tkmtool_image_reader";
// The image part's entry point, which returns its scene_image_encoder.
inline constexpr const char *encoder_entry_point = "tkmtool_image_encoder";

// A drawing command run in the drawing part: its name ("render" or "thumbnail") and its
// arguments; returns the exit status.
using drawing_command = int (*)(const char *name, const std::vector<std::string> *args);
// What the image part hands out.
using image_reader_source = gltf_image_reader (*)();
using image_encoder_source = scene_image_encoder (*)();
