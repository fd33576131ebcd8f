// SPDX-License-Identifier: MIT
// glTF 2.0 import: a .gltf or .glb model read into the neutral model, and the glTF branch of the
// mesh load, which builds the TKM mesh from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/scene/scene.h"

struct tka_animation;
struct tkm_mesh;

// Result codes of the glTF reader; each failure is also explained in words (gltf_import_error).
enum gltf_import_code : int {
    gltf_import_ok = 0,
    gltf_cannot_open = 1,     // the file cannot be opened or read
    gltf_not_gltf = 2,        // neither a GLB container nor a JSON glTF document
    gltf_bad_json = 3,        // JSON syntax error, or nesting deeper than the reader takes
    gltf_bad_document = 4,    // the document breaks the format (chunks, required fields, files)
    gltf_unsupported = 5,     // a glTF version or required extension this reader lacks
    gltf_no_mesh = 6,         // no node with a mesh
    gltf_bad_buffer_view = 7, // a buffer view outside its buffer
    gltf_bad_accessor = 8,    // an accessor outside its view, of a wrong kind, or not finite
    gltf_bad_index = 9,       // a vertex index outside the vertex count
    gltf_no_triangles = 10,   // no primitive in mode TRIANGLES
    gltf_bad_hierarchy = 14,  // node children that form a cycle, or a node with two parents
    gltf_bad_skin = 15,       // a joint index outside the skin, a vertex without weight
    gltf_out_of_memory = 17,
    gltf_bad_animation = 18, // a channel outside the skin, or keys that cannot be played
    gltf_no_animation = 19,  // loaded as an animation, the file holds none
};

// What a read found besides the model, and why it failed.
struct gltf_import_notes {
    uint32_t num_animations = 0;     // animations in the file
    std::vector<scene_image> images; // the load branch's: the images to write beside the mesh
    std::string error;               // why the read failed, in words; empty on success
};

// Reads the glTF file at path into the empty neutral model: the mesh name, the skin's joints,
// vertices with up to four weighted joints, triangles with texture coordinates and hit colours,
// materials with their images, attachment points and animations. Images whose name is no file
// name of their own are named image_prefix, '_' and the image's name. 0, or a gltf_import_code
// with notes->error saying why; warnings about content left out are printed on standard error.
int read_gltf_scene(scene_model *scene, const char *path, const char *image_prefix,
                    gltf_import_notes *notes);
// read_gltf_scene on the bytes of a .glb or .gltf held in memory; external buffers and images
// are looked for in base_dir, and not at all when base_dir is null.
int read_gltf_scene_bytes(scene_model *scene, const uint8_t *data, size_t size,
                          const char *base_dir, const char *image_prefix, gltf_import_notes *notes);

// The glTF branch of the mesh load: read and build the mesh; the images it names are left in
// notes->images for the caller to write beside output_path (named after its stem; path's when
// output_path is null). *stage (when not null) becomes "read_gltf" or "build_tkm"; the result is
// that stage's code, 0 on success. Failures are printed, success as "Converted glTF model!".
int load_gltf_mesh_staged(const char *path, tkm_mesh *mesh, const char *output_path,
                          const char **stage, gltf_import_notes *notes);

// The glTF branch of the animation load: the file's first animation built for the skeleton of
// mesh (bones matched by name), into the empty animation. 0; the read's gltf_import_code,
// gltf_no_animation, or gltf_bad_animation when it cannot be built. Failures are printed.
int load_gltf_animation(const char *path, const tkm_mesh *mesh, tka_animation *animation);
