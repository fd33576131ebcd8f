// SPDX-License-Identifier: MIT
// tkmtool convert: any model the tool reads, written as a TKM file (or, to OUT.tka, one of its
// animations as a TKA file).
#include <cerrno>
#include <cstdio>

#include "commands.h"
#include "support/file.h"
#include "support/memory.h"
#include "support/scratch_write.h"
#include "tool_common.h"
#include "viewer/formats/model_formats.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/scene/class_skeleton_checks.h"

namespace {

// A game mesh edited in Blender and converted on its own bones keeps Blender's bone axes: it looks
// right at rest and twists under every animation made for the game's. The bones built from the
// class's reference pose (a Milkshape model) are the game's axes, so only a mesh on its own bones
// can carry Blender's.
void note_blender_axes(const std::string &in, const std::string &out, const tkm_mesh &mesh) {
    if (!bones_carry_blender_axes(mesh)) return;
    std::fprintf(stderr,
                 "Warning: the %u bones of %s are those of the %s class, but they lie along their "
                 "own y axes, as Blender turns them, not on the game's axes: the game's "
                 "animations will twist this model.  To keep the game's bones, convert it onto "
                 "the mesh it was made from:\n"
                 "  tkmtool convert --skeleton GAME.tkm %s %s\n",
                 unsigned{mesh.num_bones}, in.c_str(), model_class_name(&mesh), in.c_str(),
                 out.c_str());
}

} // namespace

int command_convert(const std::vector<std::string> &arguments) {
    parsed_args parsed;
    if (parse_args(arguments, {"--weights", "--own-skeleton", "--overwrite-textures"},
                   {{"--mesh", "a file"},
                    {"--skeleton", "a file"},
                    {"--animation", "a name"},
                    {"--bind-unbound", "a way to bind (nearest)"}},
                   &parsed) != 0)
        return 1;
    const std::vector<std::string> &args = parsed.files;
    if (args.size() != 2) return usage_error("convert takes IN and OUT");
    if (parsed.has("--mesh") && parsed.has("--skeleton"))
        return usage_error("--mesh and --skeleton both name the skeleton: give one");
    const bool own_skeleton = parsed.has("--own-skeleton");
    if (own_skeleton && (parsed.has("--mesh") || parsed.has("--skeleton")))
        return usage_error("--own-skeleton keeps the model's joints: it takes no other skeleton");
    // Only a format whose known skeletons take the class's pose has joints to keep.
    const model_format *in_format = quiet_model_format(args[0].c_str());
    if (own_skeleton && in_format && !in_format->reference_skeletons)
        return usage_error("--own-skeleton is for a Milkshape model (IN.ms3d): other formats "
                           "keep their own joints anyway");
    const bool animation_out = str_equiv(file_extension(args[1].c_str()), "tka");
    for (const char *vertex_option : {"--weights", "--bind-unbound"})
        if (animation_out && parsed.has(vertex_option))
            return usage_error(std::string(vertex_option) +
                               " is for a mesh (OUT.tkm): an animation has no vertices");
    const bool overwrite_textures = parsed.has("--overwrite-textures");
    if (animation_out && overwrite_textures)
        return usage_error("--overwrite-textures is for a mesh (OUT.tkm): an animation writes no "
                           "images");
    if (animation_out)
        return convert_animation(args[0], args[1],
                                 parsed.value(parsed.has("--mesh") ? "--mesh" : "--skeleton"),
                                 parsed.value("--animation"), own_skeleton);
    if (parsed.has("--mesh") || parsed.has("--animation"))
        return usage_error("--mesh and --animation are for an animation (OUT.tka)");
    const bool weights = parsed.has("--weights");
    // Every other format keeps its weights anyway: a flag that changes nothing is refused.
    if (weights && !(in_format && in_format->extra_weights))
        return usage_error("--weights is for a Milkshape model (IN.ms3d)");
    unbound_binding bind_unbound = unbound_binding::refuse;
    if (parsed.has("--bind-unbound")) {
        const std::string way = parsed.value("--bind-unbound");
        if (way != "nearest") return usage_error("--bind-unbound takes nearest, not '" + way + "'");
        // A TKM is read as it is: there is no conversion for the binding to be a step of.
        if (in_format && !reads_scene(*in_format))
            return usage_error("--bind-unbound is for a model to convert (IN.ms3d, .gltf or .glb)");
        bind_unbound = unbound_binding::nearest;
    }
    if (parsed.has("--skeleton"))
        return convert_onto_skeleton(parsed.value("--skeleton"), args[0], args[1], weights,
                                     bind_unbound, overwrite_textures);
    failure failed;
    load_context context;
    context.output_path = args[1];
    context.weights = weights;
    context.own_skeleton = own_skeleton;
    context.bind_unbound = bind_unbound;
    context.overwrite_textures = overwrite_textures;
    context.images_later = true;
    mesh_ptr mesh = load_mesh(args[0], &failed, &context);
    if (!mesh) return 1;
    note_dropped_weights(args[0], context);
    note_blender_axes(args[0], args[1], *mesh);
    // The target is replaced only by a complete file; a failed write leaves it as it was.
    int code = write_tkm(mesh.get(), args[1].c_str());
    if (code != 0) {
        const int reason = errno;
        std::fprintf(stderr, "Error writing TarvikMesh: %d%s\n", code,
                     bracketed_reason(reason).c_str());
        return 1;
    }
    std::printf("Wrote TKM %s\n", args[1].c_str());
    // The mesh names its images: they follow it, and only once it was written.
    write_placed_images(context.placed_images);
    return 0;
}
