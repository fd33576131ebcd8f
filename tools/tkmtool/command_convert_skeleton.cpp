// SPDX-License-Identifier: MIT
// tkmtool convert --skeleton GAME.tkm IN OUT.tkm: a glTF or Milkshape model written as a TKM mesh
// on the bones of GAME.tkm, byte for byte, so that the game's own animations play on it.
//
// A model that went through Blender comes back with every bone turned to point along its own y
// axis; a TKA rotation is relative to the bone's bind axes, so the mesh must keep the game's.
#include <cerrno>
#include <cstdio>

#include "commands.h"
#include "parts.h"
#include "support/file.h"
#include "support/memory.h"
#include "support/scratch_write.h"
#include "tool_common.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/model_formats.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/mesh/tkm_writer.h"
#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/skeleton_fit.h"
#include "viewer/scene/tkm_builder.h"

namespace {

// The skeleton as a whole TKM file; null with the reason printed.
mesh_ptr read_skeleton(const std::string &path) {
    mesh_ptr skeleton(create_mesh());
    if (!skeleton) return nullptr;
    read_failure failure;
    if (const int code = read_tkm_explained(skeleton.get(), path.c_str(), &failure)) {
        print_failure_notice(failure);
        real_meow("Error loading TarvikMesh: %d%s\n", code,
                  bracketed_reason(failure.reason).c_str());
        std::fprintf(stderr, "tkmtool: the skeleton %s is not a readable TKM mesh\n", path.c_str());
        return nullptr;
    }
    if (check_skeleton(skeleton.get(), path.c_str())) return nullptr;
    return skeleton;
}

// IN read into the neutral model, a glTF's images named after OUT as a plain convert names them.
const model_format *read_model(const std::string &in, const std::string &out, scene_model *scene,
                               load_context *context) {
    const model_format *chosen = choose_model_format(in.c_str());
    if (!chosen) return nullptr;
    const model_format &format = *chosen;
    if (!reads_scene(format)) {
        std::fprintf(stderr, "tkmtool: --skeleton takes a glTF or Milkshape model, not %s\n",
                     in.c_str());
        return nullptr;
    }
    model_read_notes notes;
    notes.weights = context->weights;
    notes.image_prefix = stem_of(out);
    const int code = format.read_scene(in.c_str(), scene, &notes);
    context->num_weighted = notes.num_weighted;
    if (code == 0) return &format;
    // A reader that does not print its own failure leaves it in words.
    if (!notes.error.empty())
        std::fprintf(stderr, "Error loading %s model: %s\n", format.name, notes.error.c_str());
    return nullptr;
}

} // namespace

int convert_onto_skeleton(const std::string &skeleton_path, const std::string &in,
                          const std::string &out, bool weights, unbound_binding bind_unbound,
                          bool overwrite_textures) {
    mesh_ptr skeleton = read_skeleton(skeleton_path);
    if (!skeleton) return 1;
    scene_model scene;
    load_context context;
    context.weights = weights;
    const model_format *format = read_model(in, out, &scene, &context);
    if (!format) return 1;
    const char *source = format->name;
    note_dropped_weights(in, context);
    scene_image_placing images = texture_placing(out, overwrite_textures);
    place_scene_images(&scene, &images);
    skeleton_fit_report report;
    if (fit_scene_to_skeleton(&scene, skeleton.get(), in.c_str(), &report)) return 1;
    mesh_ptr mesh(create_mesh());
    if (!mesh) return 1;
    model_read_notes notes;
    notes.bind_unbound = bind_unbound;
    tkm_build_options options = build_options(*format, notes);
    options.reference_skeletons = false; // the bones are the skeleton's, not the reference's
    if (const int code = convert_scene_to_tkm(mesh.get(), &scene, options)) {
        std::fprintf(stderr, "Can't convert %s model: %d\n", source, code);
        return 1;
    }
    if (take_skeleton_bones(mesh.get(), skeleton.get())) {
        std::fprintf(stderr, "PANIC: the converted bones are not the skeleton's\n");
        return 1;
    }
    std::printf("Converted %s model onto the skeleton of %s (joints within %g of its bones, "
                "model size %g)\n",
                source, skeleton_path.c_str(), report.largest_offset, report.model_size);
    // The target is replaced only by a complete file; a failed write leaves it as it was, and
    // writes none of the images it would have named.
    if (const int code = write_tkm(mesh.get(), out.c_str())) {
        const int reason = errno;
        std::fprintf(stderr, "Error writing TarvikMesh: %d%s\n", code,
                     bracketed_reason(reason).c_str());
        return 1;
    }
    std::printf("Wrote TKM %s\n", out.c_str());
    write_placed_images(images);
    return 0;
}
