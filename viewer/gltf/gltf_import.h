// glTF 2.0 import: a .gltf or .glb model read into the in-memory Milkshape model, so that it
// converts into a TKM mesh exactly as a Milkshape file does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ms3d_model;
struct scene_model;
struct tkm_mesh;

// Result codes of the glTF reader; each failure is also explained in words (gltf_import_error).
enum gltf_import_code : int {
    gltf_import_ok = 0,
    gltf_cannot_open = 1,         // the file cannot be opened or read
    gltf_not_gltf = 2,            // neither a GLB container nor a JSON glTF document
    gltf_bad_json = 3,            // JSON syntax error, or nesting deeper than the reader takes
    gltf_bad_document = 4,        // the document breaks the format (chunks, required fields, files)
    gltf_unsupported = 5,         // a glTF version or required extension this reader lacks
    gltf_no_mesh = 6,             // no node with a mesh
    gltf_bad_buffer_view = 7,     // a buffer view outside its buffer
    gltf_bad_accessor = 8,        // an accessor outside its view, of a wrong kind, or not finite
    gltf_bad_index = 9,           // a vertex index outside the vertex count
    gltf_no_triangles = 10,       // no primitive in mode TRIANGLES
    gltf_too_many_vertices = 11,  // more than 65,535 vertices
    gltf_too_many_triangles = 12, // more than 21,845 triangles
    gltf_too_many_joints = 13,    // more joints than a vertex can name
    gltf_bad_hierarchy = 14,      // node children that form a cycle, or a node with two parents
    gltf_bad_skin = 15,           // a joint index outside the skin, a vertex without weight
    gltf_too_many_materials = 16, // more materials than a group can name
    gltf_out_of_memory = 17,
    gltf_bad_animation = 18, // a channel outside the skin, or keys that cannot be played
};

// Limits of the Milkshape model that a glTF model must fit into.
inline constexpr uint32_t gltf_most_vertices = 65535;
inline constexpr uint32_t gltf_most_triangles = 21845; // three corners each in 16-bit counts
inline constexpr uint32_t gltf_most_joints = 128;      // a vertex names its joint in a signed byte
inline constexpr uint32_t gltf_most_materials = 128;   // a group names its material the same way

// A base-colour image of the model, to be written beside the converted mesh under `name`, the
// file name its material's texture carries.
struct gltf_texture_file {
    std::string name;
    std::vector<uint8_t> bytes; // the PNG or JPEG file as stored in the glTF
};

// What a read found besides the model: content that is not converted, and the images to write.
struct gltf_import_notes {
    uint32_t num_animations = 0; // joint animations in the file; never converted
    std::vector<gltf_texture_file> textures;
    std::string error; // why the read failed, in words; empty on success
};

// Reads the glTF file at path into the empty model. Texture file names start with
// image_prefix and '_'. 0, or a gltf_import_code with notes->error saying why; warnings about
// content left out are printed on standard error. After a failure the model is only released.
int read_gltf(ms3d_model *model, const char *path, const char *image_prefix,
              gltf_import_notes *notes);
// read_gltf on the bytes of a .glb or .gltf held in memory; external buffers and images are
// looked for in base_dir, and not at all when base_dir is null.
int read_gltf_bytes(ms3d_model *model, const uint8_t *data, size_t size, const char *base_dir,
                    const char *image_prefix, gltf_import_notes *notes);

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

// Writes the notes' images into directory (empty: the current one), each through a scratch
// file so that a failed write leaves an older file whole. Returns the number that could not be
// written; each is reported on standard error.
int write_gltf_textures(const gltf_import_notes &notes, const std::string &directory);

// The glTF branch of the mesh load: read, convert, write the images beside output_path (named
// after its stem), release. output_path null: the images are named but not written. *stage
// (when not null) becomes "read_gltf" or "convert_ms3d"; the result is that stage's code, 0 on
// success. Failures are printed.
int load_gltf_mesh_staged(const char *path, tkm_mesh *mesh, const char *output_path,
                          const char **stage, gltf_import_notes *notes);
// The viewer's form: the images are written beside the glTF file itself, where the viewer looks
// for the mesh's textures.
int load_gltf_mesh(const char *path, tkm_mesh *mesh);
