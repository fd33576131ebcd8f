// SPDX-License-Identifier: MIT
// Writing the images of a converted model beside it, each in the format its file name asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct scene_image;
struct scene_model;

// The formats an image can be written in, by the extension of its file name.
enum scene_image_format : int {
    image_format_png,
    image_format_jpeg,
    image_format_bmp,
    image_format_tga,
    image_format_unknown
};

// The format image.file_name names; image_format_unknown for any other extension.
scene_image_format named_image_format(const scene_image &image);
// True when image's bytes already are the format its file name names, so that they are written
// as they stand; false when they must be encoded again (always for TGA, which has no signature).
bool image_in_named_format(const scene_image &image);

// Encodes image in the named format into *out; false when it cannot. The image library lives
// above the model core, so the caller hands its encoder in.
using scene_image_encoder = bool (*)(const scene_image &image, std::vector<uint8_t> *out);

// One image of a converted model as a file beside the mesh, decided before the mesh that names
// it is built.
struct scene_image_file {
    std::string path;           // the mesh's directory and the image's (final) file name
    std::vector<uint8_t> bytes; // in the format that name names
    bool present = false;       // the file there holds these bytes already: left alone
};

// Where a converted model's images go and what became of them.
struct scene_image_placing {
    // in: the file the images are written beside (a path: the current directory for a bare name)
    std::string beside;
    scene_image_encoder encode = nullptr; // in: for images not in their named format; null: those
                                          // cannot be written
    bool overwrite = false;               // in: a different file under an image's name is replaced
    std::vector<scene_image_file> files;  // out: the images to write, in the model's order
    int num_failed = 0;                   // out: images that cannot be written (each reported)
};

// Gives each image of scene its file beside placing->beside. An image keeps its name when no file
// stands under it or that file holds the same bytes (then it is left alone and used). A different
// file under the name is kept (unless placing->overwrite): the image gets the first of
// "stem_2.ext", "stem_3.ext", ... that is free or holds the same bytes and that no other image of
// the model carries; the image and every material that uses it are renamed, so the mesh built
// afterwards names the new file, and the kept file and the new name are reported on standard
// error. Images not in their named format go through placing->encode; those it cannot encode are
// reported, counted and left out.
void place_scene_images(scene_model *scene, scene_image_placing *placing);

// Writes the files placed, each through a scratch file so that a failed write leaves an older file
// whole; those present are left alone. Returns the number of images that could not be written,
// those placing left out included; each is reported on standard error, each written one on
// standard output.
int write_placed_images(const scene_image_placing &placing);
