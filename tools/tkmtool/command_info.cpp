// SPDX-License-Identifier: MIT
// tkmtool info: a summary of a mesh or of an animation loaded against its mesh, or either as JSON.
#include <cstdio>
#include <utility>

#include "commands.h"
#include "json_output.h"
#include "support/memory.h"
#include "scene_load.h"
#include "tool_common.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"

namespace {

void print_mesh_summary(const tkm_mesh &mesh) {
    std::printf("name: %s\nclass: %s\n", mesh.name ? mesh.name : "", mesh.class_name);
    const std::pair<const char *, unsigned> counts[] = {
        {"bones", mesh.num_bones},
        {"runs", mesh.num_runs},
        {"vertices", mesh.num_vertices},
        {"blend vertices", mesh.num_blends},
        {"texture coordinates", mesh.num_texcoords},
        {"corners", mesh.num_corners},
        {"triangles", mesh.num_triangles},
        {"material runs", mesh.num_material_runs},
        {"triangle lists", mesh.num_triangle_lists},
        {"texture names", mesh.num_texture_names},
        {"materials", mesh.num_materials},
        {"grips", mesh.num_grips},
        {"grippers", mesh.num_grippers},
    };
    for (const auto &[label, count] : counts)
        std::printf("%s: %u\n", label, count);
}

void print_animation_summary(const tka_animation &animation) {
    std::printf("name: %s\nbones: %u\nanimated bones: %u\nframes: %u\n",
                animation.name ? animation.name : "", unsigned{animation.num_bones},
                unsigned{animation.num_animated}, unsigned{animation.num_frames});
}

// Every animation of a model read into the neutral model, with how long it lasts (on standard
// error under --json).
void print_animations(const std::string &path, bool json) {
    if (!has_scene_reader(path)) return;
    scene_model scene;
    failure failed;
    {
        messages_to_stderr quiet(true);
        if (!load_scene(path, &scene, &failed)) return;
    }
    for (const scene_animation &animation : scene.animations) {
        float first = 0, last = 0;
        const bool keyed = animation_time_span(animation, &first, &last);
        std::fprintf(json ? stderr : stdout, "animation: %s (%.2f s)\n", animation.name.c_str(),
                     keyed ? double{last} - first : 0.0);
    }
}

int report_failure(const failure &failed, bool json) {
    if (json) std::printf("%s\n", error_json(failed.stage, failed.code, failed.detail).c_str());
    return 1;
}

} // namespace

int command_info(const std::vector<std::string> &args) {
    parsed_args parsed;
    if (parse_args(args, {"--json"}, {{"--mesh", "a file"}}, &parsed) != 0) return 1;
    if (parsed.files.size() != 1) return usage_error("info takes one file");
    const bool json = parsed.has("--json");
    const std::string mesh_path = parsed.value("--mesh");
    failure failed;
    load_context context;
    mesh_ptr mesh;
    animation_ptr animation;
    {
        messages_to_stderr quiet(json);
        mesh = load_mesh(mesh_path.empty() ? parsed.files[0] : mesh_path, &failed, &context);
        if (mesh && !mesh_path.empty())
            animation = load_animation(parsed.files[0], mesh.get(), &failed);
    }
    if (!mesh || (!mesh_path.empty() && !animation)) return report_failure(failed, json);
    if (mesh_path.empty()) {
        if (json)
            std::printf("%s\n", mesh_json(*mesh).c_str());
        else
            print_mesh_summary(*mesh);
        // A Milkshape file's weights beyond the vertex's own bone are a property of the file,
        // not of the mesh shown above (which leaves them out): told apart, like the animations.
        const model_format *format = quiet_model_format(parsed.files[0].c_str());
        if (format && format->extra_weights)
            std::fprintf(json ? stderr : stdout, "vertices with extra bone weights: %u\n",
                         unsigned{context.num_weighted});
        print_animations(parsed.files[0], json);
        return 0;
    }
    if (json)
        std::printf("%s\n", animation_json(*animation).c_str());
    else
        print_animation_summary(*animation);
    return 0;
}
