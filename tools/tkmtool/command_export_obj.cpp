// SPDX-License-Identifier: MIT
// tkmtool export-obj: a mesh posed in one frame, as Wavefront OBJ with its MTL file.
#include <cstdio>

#include "commands.h"
#include "obj_export.h"
#include "tool_common.h"
#include "viewer/anim/pose.h"

int command_export_obj(const std::vector<std::string> &args) {
    parsed_args parsed;
    if (parse_args(args, {}, {{"--anim", "a file"}, {"--frame", "a frame number from 0"}},
                   &parsed) != 0)
        return 1;
    long frame = 0;
    if (parsed.has("--frame") && !parse_frame(parsed.value("--frame"), &frame))
        return usage_error("--frame needs a frame number from 0");
    if (parsed.files.size() != 2) return usage_error("export-obj takes MESH and OUT.obj");
    failure failed;
    load_context context;
    context.output_path = parsed.files[1]; // the MTL file names the textures beside it
    mesh_ptr mesh = load_mesh(parsed.files[0], &failed, &context);
    if (!mesh) return 1;
    animation_ptr animation = load_pose_animation(parsed.value("--anim"), mesh.get());
    if (!animation) return 1;
    if (frame >= animation->num_frames) {
        std::fprintf(stderr, "tkmtool: frame %ld is out of range: the animation has %u frames\n",
                     frame, unsigned{animation->num_frames});
        return 1;
    }
    pose_mesh_in_frame(mesh.get(), animation.get(), static_cast<int32_t>(frame), nullptr);
    std::string error;
    if (export_obj(*mesh, parsed.files[1], &error) != 0) {
        std::fprintf(stderr, "tkmtool: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
