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
#include "viewer/mesh/tkm_writer.h"

int command_convert(const std::vector<std::string> &arguments) {
    parsed_args parsed;
    if (parse_args(arguments, {"--weights", "--overwrite-textures"},
                   {{"--mesh", "a file"}, {"--skeleton", "a file"}, {"--animation", "a name"}},
                   &parsed) != 0)
        return 1;
    const std::vector<std::string> &args = parsed.files;
    if (args.size() != 2) return usage_error("convert takes IN and OUT");
    if (parsed.has("--mesh") && parsed.has("--skeleton"))
        return usage_error("--mesh and --skeleton both name the skeleton: give one");
    const bool animation_out = str_equiv(file_extension(args[1].c_str()), "tka");
    if (animation_out && parsed.has("--weights"))
        return usage_error("--weights is for a mesh (OUT.tkm): an animation has no vertices");
    const bool overwrite_textures = parsed.has("--overwrite-textures");
    if (animation_out && overwrite_textures)
        return usage_error("--overwrite-textures is for a mesh (OUT.tkm): an animation writes no "
                           "images");
    if (animation_out)
        return convert_animation(args[0], args[1],
                                 parsed.value(parsed.has("--mesh") ? "--mesh" : "--skeleton"),
                                 parsed.value("--animation"));
    if (parsed.has("--mesh") || parsed.has("--animation"))
        return usage_error("--mesh and --animation are for an animation (OUT.tka)");
    const bool weights = parsed.has("--weights");
    // Every other format keeps its weights anyway: a flag that changes nothing is refused.
    if (weights && !str_equiv(file_extension(args[0].c_str()), "ms3d"))
        return usage_error("--weights is for a Milkshape model (IN.ms3d)");
    if (parsed.has("--skeleton"))
        return convert_onto_skeleton(parsed.value("--skeleton"), args[0], args[1], weights,
                                     overwrite_textures);
    failure failed;
    load_context context;
    context.output_path = args[1];
    context.weights = weights;
    context.overwrite_textures = overwrite_textures;
    mesh_ptr mesh = load_mesh(args[0], &failed, &context);
    if (!mesh) return 1;
    note_dropped_weights(args[0], context);
    // The target is replaced only by a complete file; a failed write leaves it as it was.
    int code = write_tkm(mesh.get(), args[1].c_str());
    if (code != 0) {
        const int reason = errno;
        std::fprintf(stderr, "Error writing TarvikMesh: %d%s\n", code,
                     bracketed_reason(reason).c_str());
        return 1;
    }
    std::printf("Wrote TKM %s\n", args[1].c_str());
    return 0;
}
