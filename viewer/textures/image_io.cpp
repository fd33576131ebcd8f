// SPDX-License-Identifier: MIT
// The image library of this build, and the scratch-file writing both libraries share.
#include "viewer/textures/image_io.h"

#include <cerrno>

#include "support/scratch_write.h"

const image_backend &current_image_backend() {
#ifdef TARVIK_IMAGES_STB
    return stb_image_backend;
#else
    return devil_image_backend;
#endif
}

bool write_beside(const char *path, bool (*write)(std::FILE *stream, void *context),
                  void *context) {
    errno = 0;
    scratch_file *file = open_scratch_file(path);
    if (!file) return false;
    const bool complete = write(file->stream, context);
    const int reason = finish_scratch_file(file, complete);
    errno = reason;
    return complete && reason == 0;
}
