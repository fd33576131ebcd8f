// SPDX-License-Identifier: MIT
// The one table of model formats the viewer and tkmtool read: each format's name, the extensions
// that choose it, its reader into the neutral model and the builder rules its models take. What a
// file is comes first from its content (model_sniff.h); the name is the hint for a content that
// tells nothing, and a name with no extension of the table is read as TKM then.
//
// Index: model_read_notes | model_format | find_model_format | build_options
#pragma once

#include <cstdint>
#include <string>

#include "viewer/mesh/read_failure.h"
#include "viewer/scene/tkm_builder.h"

struct scene_image_placing;
struct scene_model;
struct tka_animation;
struct tkm_mesh;

// What a reader is told and what it found besides the model.
struct model_read_notes {
    // in: the stem glTF images without a file name of their own are named after ("stem_name");
    // empty: the stem of the file read
    std::string image_prefix;
    bool weights = false; // in: a Milkshape model keeps the extra bone weights of version 1.8
    // in: a model of a format whose known skeletons take the class's reference pose keeps its own
    // joints instead (a rig made elsewhere that only shares a class's bone count)
    bool own_skeleton = false;
    // in: what the build does with vertices the file left without a joint (tkm_build_options)
    unbound_binding bind_unbound = unbound_binding::refuse;
    // in and out: where a converted model's images are to be written; they get their files
    // before the build, so that the mesh names what will be written. Null: named as read.
    scene_image_placing *images = nullptr;
    // out: the stage the result belongs to, a static string ("read_ms3d", "convert_ms3d", ...)
    const char *stage = nullptr;
    uint32_t num_weighted = 0;   // out: Milkshape vertices whose extra weights were left out
    uint32_t num_animations = 0; // out: animations in a glTF file
    read_failure failure{};      // out: where a failed Milkshape or TKM read stopped
    std::string error; // out: a failure the reader did not print, in words; empty otherwise
};

// Reads the file at path into the empty neutral model. 0, or the failed stage's code.
using model_scene_reader = int (*)(const char *path, scene_model *scene, model_read_notes *notes);
// Builds the file's animation for the skeleton of mesh into the empty animation; failures printed.
// 0, or the read's or the build's code.
using model_animation_loader = int (*)(const char *path, const tkm_mesh *mesh,
                                       tka_animation *animation);

// One format of the table.
struct model_format {
    const char *name;          // the format's own name: "Milkshape", "glTF", "TarvikMesh"
    const char *noun;          // what a warning calls it: "Milkshape", "glTF", "TKM"
    const char *extensions[2]; // lower case, without the dot; null past the last
    // Null for TKM, which is read straight into a mesh; the others are read into the neutral
    // model and built.
    model_scene_reader read_scene;
    const char *read_stage;  // the stage a failed read is reported under (tkmtool --json)
    const char *build_stage; // the stage a failed build is reported under
    // The game's known skeletons take the reference pose (tkm_build_options).
    bool reference_skeletons;
    // The viewer's animation load for a file of this format; null: the file is read as TKA.
    model_animation_loader load_animation;
    // A conversion may leave out weights the file gives a vertex beyond its own bone
    // (Milkshape 1.8's extras), and keeps them when asked (model_read_notes::weights).
    bool extra_weights;
};

// The formats, TKM last.
extern const model_format model_formats[];
extern const size_t num_model_formats;

// The format the text after the last '.' of path names, in any mix of capitals; TKM for every
// other name, one without a dot too.
const model_format &find_model_format(const char *path);
// The format the text after the last '.' of path names, in any mix of capitals; TKM for a name
// without a dot, null for an extension of no format.
const model_format *named_model_format(const char *path);
// Whether format is read into the neutral model (and so can carry animations and images).
bool reads_scene(const model_format &format);
// The builder's options for a model of format, as the read was told (notes' in fields).
tkm_build_options build_options(const model_format &format, const model_read_notes &notes = {});
