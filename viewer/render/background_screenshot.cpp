// SPDX-License-Identifier: MIT
// Screenshots: the frame is drawn again into the back buffer, read with ILUT and saved by DevIL
// through a scratch file, so a failed save leaves an existing file as it was.
#include "viewer/render/background.h"

#define ILUT_USE_OPENGL
#include <IL/il.h>
#include <IL/ilut.h>

#include <cerrno>

#include "support/scratch_write.h"
#include "viewer/render/draw.h"

namespace {

void forget_devil_errors() {
    while (ilGetError() != IL_NO_ERROR) {
    }
}

// Saves the bound image to a scratch file that replaces path once complete, in the format its
// extension names; errno holds the system's reason for a failure (0 when it was DevIL's).
bool save_bound_image(const char *path) {
    errno = 0;
    const ILenum type = ilTypeFromExt(path);
    if (type == IL_TYPE_UNKNOWN) return false;
    scratch_file *file = open_scratch_file(path);
    if (!file) return false;
    bool complete = ilSaveF(type, file->stream) != 0 && ilGetError() == IL_NO_ERROR;
    int reason = finish_scratch_file(file, complete);
    errno = reason;
    return complete && reason == 0;
}

} // namespace

int32_t take_screenshot(const char *path) {
    forget_devil_errors();
    ILuint image = 0;
    ilGenImages(1, &image);
    if (ilGetError() != IL_NO_ERROR) return screenshot_no_image;
    ilBindImage(image);

    // The buffers were swapped after the last frame, so the back buffer holds nothing defined.
    draw_scene();
    if (!ilutGLScreen()) {
        ilDeleteImages(1, &image);
        forget_devil_errors();
        return screenshot_no_capture;
    }
    bool saved = save_bound_image(path ? path : "");
    const int reason = errno;
    ilDeleteImages(1, &image);
    forget_devil_errors();
    errno = reason;
    return saved ? screenshot_saved : screenshot_save_failed;
}
