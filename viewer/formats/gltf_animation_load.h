// SPDX-License-Identifier: MIT
// The load path from a glTF file to an animation for a mesh, which the table of model formats
// names as glTF's animation loader.
#pragma once

struct tka_animation;
struct tkm_mesh;

// The file's first animation built for the skeleton of mesh (bones matched by name), into the
// empty animation. 0; the read's gltf_import_code, gltf_no_animation, or gltf_bad_animation when
// it cannot be built. Failures are printed, success as "Converted glTF animation NAME!".
int load_gltf_animation(const char *path, const tkm_mesh *mesh, tka_animation *animation);
