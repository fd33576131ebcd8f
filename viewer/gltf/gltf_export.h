// SPDX-License-Identifier: MIT
// glTF 2.0 export of a mesh with its skeleton, skin, attachment points and animations.
//
// Index: gltf_export_result            - result codes of every call
//        gltf_export_animation         - one animation to export
//        gltf_export_options           - what to export and how
//        gltf_export_report            - what the export could not carry over exactly
//        gltf_file                     - one output file held in memory
//        encode_gltf / write_gltf_files / export_gltf
//
// The document is built with tinygltf. A .glb is one file with the textures inside; a .gltf
// comes with a .bin and the texture images as files beside it. Positions are the rest pose; the
// skin, the joints' rest transforms and the animations reproduce the viewer's posing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct tkm_mesh;
struct tka_animation;

// Result codes: 0 success, otherwise what failed (gltf_export_report::error says more).
enum gltf_export_result : int32_t {
    gltf_export_ok = 0,
    gltf_export_bad_path = 1,      // the output name does not end in .glb or .gltf
    gltf_export_bad_number = 2,    // a value to export is not a finite number
    gltf_export_bad_animation = 3, // an animation has no frames or another bone count
    gltf_export_too_large = 4,     // the binary data would not fit the format's 32-bit sizes
    gltf_export_encode_failed = 5, // the document could not be serialised
    gltf_export_write_failed = 6,  // a file could not be written or put in place
};

// One animation to export; it must have been loaded against the exported mesh.
struct gltf_export_animation {
    const tka_animation *animation = nullptr; // not owned
    std::string name;                         // the glTF animation's name (UTF-8 or Latin-1)
};

// Decodes the image file at path (already read once and header-checked); true when it decodes.
// With convert, the image is re-encoded as 8-bit RGB or RGBA PNG into *png. The program supplies
// it (with DevIL: viewer/textures/image_png.h), so the model code links no image library.
using gltf_image_reader = bool (*)(const char *path, bool convert, std::vector<uint8_t> *png);

struct gltf_export_options {
    bool binary = true;                            // .glb (true) or .gltf with files beside it
    std::string base_name = "model";               // the output's name without its extension
    std::string texture_directory;                 // looked in first for textures; "" is "."
    std::vector<gltf_export_animation> animations; // in the order they are to appear
    // Hit colours as COLOR_0, which Blender keeps through its import and export but which tints
    // the model in every viewer, instead of the custom attribute _HIT_COLOR.
    bool hit_colors_as_vertex_colors = false;
    gltf_image_reader read_image = nullptr; // null: every texture is reported missing
};

// Where the exported skin puts a vertex furthest from where the viewer puts it.
struct gltf_export_report {
    std::vector<std::string> missing_textures; // base names that were not found or not decoded
    uint32_t unmatched_blends = 0;    // blend vertices no skin can follow exactly in every pose
    double largest_deviation = 0;     // over the exported animations' frames, in model units
    uint32_t deviation_vertex = 0;    // the vertex (blend vertices follow the stored ones)
    int32_t deviation_animation = -1; // index into the options' animations; -1 for none
    uint32_t deviation_frame = 0;
    std::string error; // what failed, when a call does not return gltf_export_ok
};

// One output file: its name beside the main file (which comes first) and its bytes.
struct gltf_file {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Builds the whole export in memory: the .glb, or the .gltf followed by its .bin and images.
// Textures are looked for (and decoded by the options' image reader) as the options say. Returns a
// result code.
int32_t encode_gltf(const tkm_mesh &mesh, const gltf_export_options &options,
                    std::vector<gltf_file> *files, gltf_export_report *report);

// Writes files into directory ("" is "."), each through a scratch file; the targets are replaced
// only once every file is complete, the first file (the one naming the others) last.
int32_t write_gltf_files(const std::string &directory, const std::vector<gltf_file> &files,
                         std::string *error);

// encode_gltf and write_gltf_files for out_path, which must end in .glb or .gltf (any case); the
// options' binary flag and base name are taken from it.
int32_t export_gltf(const tkm_mesh &mesh, const std::string &out_path, gltf_export_options options,
                    gltf_export_report *report);
