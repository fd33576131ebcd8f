// SPDX-License-Identifier: MIT
// tkmtool convert IN OUT.tka: one animation of a Milkshape or glTF model as a TKA file, for the
// skeleton of a given mesh or of the model itself.
#include <cerrno>
#include <cstdio>

#include "commands.h"
#include "scene_load.h"
#include "support/scratch_write.h"
#include "tool_common.h"
#include "viewer/anim/tka_writer.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"
#include "viewer/scene/tkm_builder.h"

namespace {

// The animation named name, or the first when name is empty; -1 (printed) when there is none.
long pick_animation(const scene_model &scene, const std::string &path, const std::string &name) {
    if (scene.animations.empty()) {
        std::fprintf(stderr, "tkmtool: %s has no animations\n", path.c_str());
        return -1;
    }
    if (name.empty()) return 0;
    for (size_t i = 0; i < scene.animations.size(); i++)
        if (scene.animations[i].name == name) return long(i);
    std::fprintf(stderr, "tkmtool: %s has no animation named '%s'; it has:\n", path.c_str(),
                 name.c_str());
    for (const scene_animation &animation : scene.animations)
        std::fprintf(stderr, "  %s\n", animation.name.c_str());
    return -1;
}

// The skeleton the animation is built for: the mesh at mesh_path, or the model's own bones as
// the TKM builder makes them (an animation needs no more of a mesh).
mesh_ptr skeleton_mesh(const std::string &mesh_path, const scene_model &scene,
                       const model_format &format) {
    failure failed;
    if (!mesh_path.empty()) return load_mesh(mesh_path, &failed);
    mesh_ptr mesh(create_mesh());
    if (!mesh ||
        build_tkm_bones(mesh.get(), scene, build_options(format, model_read_notes{})) != 0) {
        std::fprintf(stderr, "tkmtool: the model's own skeleton cannot be built\n");
        return nullptr;
    }
    return mesh;
}

} // namespace

int convert_animation(const std::string &in, const std::string &out, const std::string &mesh_path,
                      const std::string &name) {
    scene_model scene;
    failure failed;
    const model_format *format = nullptr;
    if (!load_scene(in, &scene, &failed, &format)) return 1;
    const long index = pick_animation(scene, in, name);
    if (index < 0) return 1;
    mesh_ptr mesh = skeleton_mesh(mesh_path, scene, *format);
    if (!mesh) return 1;
    animation_ptr animation(create_animation());
    if (!animation) return 1;
    if (const int code = build_tka(animation.get(), scene, size_t(index), mesh.get())) {
        std::fprintf(stderr, "Can't convert animation: %d\n", code);
        return 1;
    }
    // The target is replaced only by a complete file; a failed write leaves it as it was.
    if (const int code = write_tka(animation.get(), out.c_str())) {
        std::fprintf(stderr, "Error writing TarvikAnimation: %d%s\n", code,
                     bracketed_reason(errno).c_str());
        return 1;
    }
    std::printf("Wrote TKA %s (%u frames)\n", out.c_str(), unsigned{animation->num_frames});
    return 0;
}
