// SPDX-License-Identifier: MIT
// What every tkmtool command shares: owning pointers, loading by extension, option errors.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/message_sink.h"
#include "viewer/anim/animation.h"
#include "viewer/mesh/mesh.h"
#include "viewer/mesh/read_failure.h"
#include "viewer/scene/tkm_builder.h"
#include "viewer/scene/image_files.h"

struct mesh_releaser {
    void operator()(tkm_mesh *mesh) const { release_mesh(mesh); }
};
struct animation_releaser {
    void operator()(tka_animation *animation) const { release_animation(animation); }
};
using mesh_ptr = std::unique_ptr<tkm_mesh, mesh_releaser>;
using animation_ptr = std::unique_ptr<tka_animation, animation_releaser>;

// Where a load or save failed: the stage name of the JSON error, its code, and where in the file
// the reader stopped when it tells.
struct failure {
    const char *stage = nullptr;
    int code = 0;
    read_failure detail{}; // field, offset and message; empty for stages that tell nothing more
};

// Prints "tkmtool: MESSAGE" and the hint to --help on standard error; returns the exit status 1.
int usage_error(const std::string &message);

// What a load needs beyond the path, and what it found besides the mesh.
struct load_context {
    // A converted model's texture images are written beside this file, named after its stem;
    // empty: they are named in the mesh but not written.
    std::string output_path;
    // A texture image replaces a different file under its name instead of taking a new name
    // (convert --overwrite-textures).
    bool overwrite_textures = false;
    uint32_t num_animations = 0; // how many animations the file held
    // A Milkshape model's vertices keep the bones of their Milkshape 1.8 extras (--weights).
    bool weights = false;
    uint32_t num_weighted = 0; // out: Milkshape vertices whose extras weight other bones
    // A Milkshape model keeps its own joints where a class skeleton would replace them.
    bool own_skeleton = false;
    // Vertices without a bone are bound to their nearest joints rather than refused
    // (--bind-unbound nearest).
    unbound_binding bind_unbound = unbound_binding::refuse;
    // The images are left in placed_images for the caller to write once its own output is safe,
    // so that a conversion that fails at its last step writes nothing at all.
    bool images_later = false;
    scene_image_placing placed_images; // out, with images_later: what write_placed_images takes
};

// When a Milkshape conversion left out extra bone weights (context.num_weighted without
// context.weights), says once on standard error how many vertices of path had them and that
// --weights keeps them.
void note_dropped_weights(const std::string &path, const load_context &context);

// How a converted model's images are put beside output_path: encoded as their names ask, a
// different file under an image's name kept (the image renamed) unless overwrite.
scene_image_placing texture_placing(const std::string &output_path, bool overwrite);

// Reads a TKM mesh, or converts a model of another format chosen by the file name's extension.
// Null on failure, with the reader's message printed and *failed filled in.
mesh_ptr load_mesh(const std::string &path, failure *failed, load_context *context = nullptr);
// Loads a TKA animation against mesh. Null on failure, with the message printed.
animation_ptr load_animation(const std::string &path, const tkm_mesh *mesh, failure *failed);
// The animation a command poses mesh with: the TKA at anim_path, or the mesh's rest pose when
// anim_path is empty. Null on failure, with the reason printed.
animation_ptr load_pose_animation(const std::string &anim_path, const tkm_mesh *mesh);

// A frame number from 0 to 65535 written in decimal and nothing else.
bool parse_frame(const std::string &text, long *frame);

// A command's arguments split into options and files, in the order given.
struct parsed_args {
    std::vector<std::pair<std::string, std::string>> options; // in order given; flags get ""
    std::vector<std::string> files;
    // The last value of an option, or "" when it was not given.
    std::string value(const std::string &name) const;
    // Every value of an option, in order.
    std::vector<std::string> values(const std::string &name) const;
    bool has(const std::string &name) const;
};
// An option that takes the next argument as its value, and what to say when it is missing
// ("a file" gives "--mesh needs a file").
struct value_option {
    const char *name;
    const char *needs;
};
// Splits args by the command's flags and value options; anything else that starts with "--"
// (but "--" itself) is an unknown option. 0 on success; otherwise the usage error has been
// printed and the exit status 1 is returned.
int parse_args(const std::vector<std::string> &args, const std::vector<std::string> &flags,
               const std::vector<value_option> &value_options, parsed_args *out);

// While it lives, the messages larkspur's real_meow and real_purr give on this thread (the
// readers', the converter's) all go to standard error, in the order they arise, so that standard
// output carries nothing but the command's own document.
struct messages_to_stderr {
    bool active = false;
    void *saved_user = nullptr;
    void (*saved_sink)(enum message_outlet, const char *, void *) = nullptr;
    explicit messages_to_stderr(bool active);
    ~messages_to_stderr();
    messages_to_stderr(const messages_to_stderr &) = delete;
    messages_to_stderr &operator=(const messages_to_stderr &) = delete;
};

// While it lives, what the drawing code prints with stdio on standard output goes to the open
// descriptor target instead; it prints past larkspur, where no message sink reaches.
struct stdout_to_descriptor {
    int saved = -1;
    explicit stdout_to_descriptor(int target);
    ~stdout_to_descriptor();
    stdout_to_descriptor(const stdout_to_descriptor &) = delete;
    stdout_to_descriptor &operator=(const stdout_to_descriptor &) = delete;
};
