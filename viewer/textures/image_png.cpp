// SPDX-License-Identifier: MIT
// The glTF export's texture reader: whichever image library the build has.
#include "viewer/textures/image_png.h"

#include "viewer/textures/image_io.h"

bool read_image_file(const char *path, bool convert, std::vector<uint8_t> *png) {
    return current_image_backend().read_image(path, convert, png);
}
