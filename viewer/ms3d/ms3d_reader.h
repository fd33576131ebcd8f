// SPDX-License-Identifier: MIT
// Reading a Milkshape 3D file into an ms3d_model: the header, vertices, triangles, groups,
// materials and joints, then the optional blocks (ms3d_extras.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "viewer/ms3d/ms3d_extras.h"
#include "viewer/ms3d/ms3d_model.h"

// Result codes of read_ms3d besides the per-field codes 1..56 (1: the file cannot be opened).
inline constexpr int ms3d_wrong_magic = ms3d_code_wrong_magic;
inline constexpr int ms3d_unknown_version = ms3d_code_unknown_version;

// A new empty model (every field zero), or null. Release with release_ms3d.
ms3d_model *create_ms3d();
// Fills the empty model from the file at path: 0, 1 (cannot open), -1 (not a Milkshape file),
// -2 (version above 4), the code of the field that failed or that the file ended in (2..56), or,
// read strictly, that of a bad optional block (57..60). Read leniently, a bad optional block is
// left out with those after it and told in model->extras.stopped_block and stopped_at.
// After a failure the model holds what was read; the caller only releases it.
int read_ms3d(ms3d_model *model, const char *path,
              ms3d_extras_reading reading = ms3d_extras_strict);
// read_ms3d that also fills *failure (when not null) with where a failed read stopped and the
// line that explains it.
int read_ms3d_explained(ms3d_model *model, const char *path, read_failure *failure,
                        ms3d_extras_reading reading = ms3d_extras_strict);
// read_ms3d_explained on the size octets at data, a whole file in memory; path only names it in
// the explanation (failure may be null). The file entries read the file at once and come here.
int read_ms3d_memory(ms3d_model *model, const uint8_t *data, size_t size, const char *path,
                     read_failure *failure = nullptr,
                     ms3d_extras_reading reading = ms3d_extras_strict);
// Frees everything the model owns and the model record itself; null is ignored.
void release_ms3d(ms3d_model *model);
