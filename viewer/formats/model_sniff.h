// SPDX-License-Identifier: MIT
// A model file's format told by its first octets, its name being only a hint: a Milkshape model
// named .dat or a GLB named .tkm is read as what it is, with a warning that names both, and a
// file of no known format is refused in one line instead of going to the TKM reader.
//
// What the first octets show: the TKM magic (its first eleven octets, as the TKM reader compares
// them), the Milkshape id "MS3D000000", "glTF" and a GLB version (1 or 2: a GLB of version 1 is
// still one, refused by the glTF reader in its own words), or a '{' after an optional UTF-8 BOM
// and JSON white space. A JSON glTF is not asked for its "asset" key: the key may follow any
// amount of arrays, and neither the TKM magic nor the Milkshape id can start with '{', so a JSON
// document that is no glTF gets the glTF reader's own refusal. The TKA magic is known too, so
// that an animation load picks its reader by content as well.
//
// Index: model_content | sniff_model_content | choose_model_format | choose_animation_loader
#pragma once

#include <cstddef>
#include <cstdint>

#include "viewer/formats/model_formats.h"

// Octets read from the start of a file to tell its format: enough for every signature and some
// JSON white space before its '{'.
inline constexpr size_t model_sniff_size = 64;

// A load of a file refused for being of no known format: its stage and code.
inline constexpr const char *model_read_stage = "read_model";
inline constexpr int model_code_unknown_format = 1;

// What the first octets of a file tell.
struct model_content {
    const model_format *format = nullptr; // the model format they show; null: none
    bool animation = false;               // they show a TKA animation (format is null then)
    // The octets decide: a format, or that they are of none known. False when they are too few
    // to tell (an empty or unreadable file, or a cut prefix of a signature).
    bool told = false;
};

// What the size octets at bytes tell; bytes may be null when size is 0.
model_content sniff_model_content(const uint8_t *bytes, size_t size);
// The model format the size octets at bytes show, or null for none (too few to tell included).
const model_format *recognise_model_format(const uint8_t *bytes, size_t size);
// What the first model_sniff_size octets of the file at path tell; nothing told when the file
// cannot be opened or read (the reader chosen then reports why).
model_content sniff_model_file(const char *path);

// The format the file at path is read as: the one its content shows, else the one its name says
// (find_model_format). A content other than the name's is read as what it is, with a warning on
// standard error; a file whose content and name both show no known format is refused with one
// line there, and null.
const model_format *choose_model_format(const char *path);
// choose_model_format without a word printed, for a caller that only asks (the file is reported
// on when it is loaded).
const model_format *quiet_model_format(const char *path);

// The animation load's reader for the file at path (named name, the text after its directory):
// the format's own loader (glTF), or null for the TKA reader. Chosen by content as a model is,
// a TKA's magic counting as content; a warning when the content is other than the name says.
model_animation_loader choose_animation_loader(const char *path, const char *name);
