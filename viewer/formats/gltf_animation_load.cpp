// SPDX-License-Identifier: MIT
// A glTF file's first animation, read into the neutral model and built for a mesh.
#include "viewer/formats/gltf_animation_load.h"

#include "support/messages.h"
#include "viewer/files/path_names.h"
#include "viewer/gltf/gltf_import.h"
#include "viewer/scene/scene.h"
#include "viewer/scene/tka_builder.h"

int load_gltf_animation(const char *path, const tkm_mesh *mesh, tka_animation *animation) {
    scene_model scene;
    gltf_import_notes notes;
    if (int code = read_gltf_scene(&scene, path, stem_of(path).c_str(), &notes)) {
        real_meow("Error loading glTF animation: %s\n", notes.error.c_str());
        return code;
    }
    if (scene.animations.empty()) {
        real_meow("Error loading glTF animation: %s holds no animation\n", path);
        return gltf_no_animation;
    }
    if (build_tka(animation, scene, 0, mesh)) return gltf_bad_animation;
    real_purr("Converted glTF animation %s!\n", scene.animations[0].name.c_str());
    return 0;
}
