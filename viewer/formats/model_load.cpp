// SPDX-License-Identifier: MIT
// The load path of a model file: read by its entry in the table of formats and built into a mesh.
//
// Index: load_model_mesh
#include "viewer/formats/model_load.h"

#include "support/messages.h"
#include "support/scratch_write.h"
#include "viewer/files/path_names.h"
#include "viewer/formats/model_sniff.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/mesh/tkm_reader.h"
#include "viewer/scene/image_files.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tkm_builder.h"

// ---- load_model_mesh

int load_model_mesh(const char *path, tkm_mesh *mesh, scene_model *scene, model_read_notes *notes) {
    const model_format *chosen = choose_model_format(path);
    if (!chosen) {
        notes->stage = model_read_stage;
        return model_code_unknown_format;
    }
    const model_format &format = *chosen;
    notes->stage = format.read_stage;
    if (!reads_scene(format)) {
        const int code = read_tkm_explained(mesh, path, &notes->failure);
        if (code) {
            print_failure_notice(notes->failure);
            real_meow("Error loading TarvikMesh: %d%s\n", code,
                      bracketed_reason(notes->failure.reason).c_str());
            print_failure_explanation(notes->failure);
        }
        return code;
    }
    int code = format.read_scene(path, scene, notes);
    if (code) {
        if (!notes->error.empty())
            real_meow("Error loading %s model: %s\n", format.name, notes->error.c_str());
        return code;
    }
    if (notes->images) place_scene_images(scene, notes->images);
    notes->stage = format.build_stage;
    code = convert_scene_to_tkm(mesh, scene, build_options(format, *notes));
    if (code) {
        real_meow("Can't convert %s model: %d\n", format.name, code);
        return code;
    }
    real_purr("Converted %s model!\n", format.name);
    return 0;
}
