// SPDX-License-Identifier: MIT
// Reading a model into the neutral model for the commands that need more than its TKM mesh (its
// animations), by the file name's extension.
#pragma once

#include <string>

#include "tool_common.h"

struct scene_model;

// Whether the file's extension names a format that is read into the neutral model.
bool has_scene_reader(const std::string &path);
// Reads the model at path into the empty scene; false with the reader's message printed and
// *failed filled in. *source (when not null) becomes the format's name for messages ("Milkshape").
// context (may be null): whether a Milkshape model keeps its extra weights, and how many it had.
bool load_scene(const std::string &path, scene_model *scene, failure *failed,
                const char **source = nullptr, load_context *context = nullptr);
