// Writing the images of a converted model beside it, each in the format its file name asks for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct scene_image;

// The bytes of image in the format its file_name's extension names (BMP, TGA, PNG or JPEG):
// as they are when they already are that, else decoded and encoded again by DevIL. False when
// DevIL cannot.
bool encode_scene_image(const scene_image &image, std::vector<uint8_t> *out);

// Writes each image into directory ("" is the current one) under its file name, through a
// scratch file so that a failed write leaves an older file whole; a file that already holds the
// bytes is left alone. Returns the number that could not be written; each is reported on
// standard error, each written one on standard output.
int write_scene_images(const std::vector<scene_image> &images, const std::string &directory);
