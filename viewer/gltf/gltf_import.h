// SPDX-License-Identifier: MIT
// glTF 2.0 import: a .gltf or .glb model read into the neutral model. The load paths that build a
// mesh or an animation from it live with the table of model formats (viewer/formats/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "viewer/scene/scene.h"

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
    uint32_t num_animations = 0; // animations in the file
    std::string error;           // why the read failed, in words; empty on success
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
