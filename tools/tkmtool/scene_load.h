// SPDX-License-Identifier: MIT
// Reading a model into the neutral model for the commands that need more than its TKM mesh (its
// animations), by its entry in the table of model formats.
#pragma once

#include <string>

#include "tool_common.h"
#include "viewer/formats/model_formats.h"

struct scene_model;

// Whether the file's format is read into the neutral model.
bool has_scene_reader(const std::string &path);
// Reads the model at path into the empty scene; false with the reader's message printed and
// *failed filled in. *format (when not null) becomes the file's entry in the table.
// context (may be null): whether a Milkshape model keeps its extra weights, and how many it had.
// image_prefix: what glTF images without a file name of their own are named after.
bool load_scene(const std::string &path, scene_model *scene, failure *failed,
                const model_format **format = nullptr, load_context *context = nullptr,
                const char *image_prefix = "image");
