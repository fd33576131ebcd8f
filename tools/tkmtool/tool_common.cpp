// SPDX-License-Identifier: MIT
// Loading, option parsing and output redirection shared by the tkmtool commands.
#include "tool_common.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <utility>

#include "support/file.h"
#include "support/scratch_write.h"
#include "viewer/anim/pose.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/model_load.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/mesh/tkm_reader.h"
#include "parts.h"
#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/anim/tka_loader.h"

int usage_error(const std::string &message) {
    std::fprintf(stderr, "tkmtool: %s\nTry 'tkmtool --help'.\n", message.c_str());
    return 1;
}

mesh_ptr load_mesh(const std::string &path, failure *failed, load_context *context) {
    load_context own_context;
    if (!context) context = &own_context;
    mesh_ptr mesh(create_mesh());
    if (!mesh) {
        *failed = {"read_tkm", 1};
        return nullptr;
    }
    scene_model scene;
    model_read_notes notes;
    notes.weights = context->weights;
    notes.own_skeleton = context->own_skeleton;
    notes.bind_unbound = context->bind_unbound;
    scene_image_placing images = texture_placing(context->output_path, context->overwrite_textures);
    if (!context->output_path.empty()) {
        notes.image_prefix = stem_of(context->output_path);
        notes.images = &images;
    }
    const int code = load_model_mesh(path.c_str(), mesh.get(), &scene, &notes);
    context->num_weighted = notes.num_weighted;
    context->num_animations = notes.num_animations;
    if (code != 0) {
        *failed = {notes.stage, code, notes.failure};
        return nullptr;
    }
    if (context->images_later)
        context->placed_images = std::move(images);
    else
        write_placed_images(images);
    return mesh;
}

scene_image_placing texture_placing(const std::string &output_path, bool overwrite) {
    scene_image_placing placing;
    placing.beside = output_path;
    placing.encode = image_encoder("convert");
    placing.overwrite = overwrite;
    return placing;
}

void note_dropped_weights(const std::string &path, const load_context &context) {
    if (context.weights || context.num_weighted == 0) return;
    std::fprintf(stderr,
                 "tkmtool: %u vertices of %s have Milkshape 1.8 extra bone weights, left out "
                 "(each stays on its own bone); convert --weights keeps them\n",
                 unsigned{context.num_weighted}, path.c_str());
}

animation_ptr load_animation(const std::string &path, const tkm_mesh *mesh, failure *failed) {
    animation_ptr animation(create_animation());
    // A glTF file, by its content or its name, gives its first animation (the loader prints).
    const model_animation_loader load =
        animation ? choose_animation_loader(path.c_str(), path.c_str()) : nullptr;
    if (load) {
        const int code = load(path.c_str(), mesh, animation.get());
        if (code == 0) return animation;
        *failed = {"read_gltf", code};
        return nullptr;
    }
    read_failure detail;
    int code = animation ? load_tka_explained(animation.get(), mesh, path.c_str(), &detail) : 1;
    if (code != 0) {
        // tkmtool tells the loader's sentence with its errors, whatever outlet the viewer uses:
        // callers such as the Blender add-on show standard error alone.
        if (!detail.notice.empty()) real_meow("%s\n", detail.notice.c_str());
        real_meow("Error loading TarvikAnimation: %d%s\n", code,
                  bracketed_reason(detail.reason).c_str());
        print_failure_explanation(detail);
        *failed = {"load_tka", code, detail};
        return nullptr;
    }
    return animation;
}

animation_ptr load_pose_animation(const std::string &anim_path, const tkm_mesh *mesh) {
    if (!anim_path.empty()) {
        failure failed;
        return load_animation(anim_path, mesh, &failed);
    }
    animation_ptr animation(create_animation());
    if (!animation || fill_rest_pose(mesh, animation.get()) != 0) {
        std::fprintf(stderr, "tkmtool: out of memory\n");
        return nullptr;
    }
    return animation;
}

bool parse_frame(const std::string &text, long *frame) {
    errno = 0;
    char *end = nullptr;
    *frame = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && errno == 0 && *frame >= 0 && *frame <= 65535;
}

std::string parsed_args::value(const std::string &name) const {
    std::vector<std::string> all = values(name);
    return all.empty() ? std::string() : all.back();
}

std::vector<std::string> parsed_args::values(const std::string &name) const {
    std::vector<std::string> found;
    for (const auto &[option, value] : options)
        if (option == name) found.push_back(value);
    return found;
}

bool parsed_args::has(const std::string &name) const {
    return std::any_of(options.begin(), options.end(),
                       [&](const auto &option) { return option.first == name; });
}

int parse_args(const std::vector<std::string> &args, const std::vector<std::string> &flags,
               const std::vector<value_option> &value_options, parsed_args *out) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (std::find(flags.begin(), flags.end(), arg) != flags.end()) {
            out->options.emplace_back(arg, "");
            continue;
        }
        auto valued = std::find_if(value_options.begin(), value_options.end(),
                                   [&](const value_option &option) { return arg == option.name; });
        if (valued != value_options.end()) {
            if (++i == args.size()) return usage_error(arg + " needs " + valued->needs);
            out->options.emplace_back(arg, args[i]);
        } else if (arg.rfind("--", 0) == 0 && arg.size() > 2) {
            return usage_error("unknown option " + arg);
        } else {
            out->files.push_back(arg);
        }
    }
    return 0;
}

namespace {

void to_stderr(enum message_outlet, const char *text, void *) {
    std::fputs(text, stderr);
}

} // namespace

messages_to_stderr::messages_to_stderr(bool active) : active(active) {
    if (!active) return;
    saved_sink = current_message_sink(&saved_user);
    set_message_sink(to_stderr, nullptr);
}

messages_to_stderr::~messages_to_stderr() {
    if (active) set_message_sink(saved_sink, saved_user);
}

stdout_to_descriptor::stdout_to_descriptor(int target) {
    if (target < 0) return;
    std::fflush(stdout);
    saved = dup(STDOUT_FILENO);
    if (saved >= 0) dup2(target, STDOUT_FILENO);
}

stdout_to_descriptor::~stdout_to_descriptor() {
    if (saved < 0) return;
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
}
