// SPDX-License-Identifier: MIT
// Screenshots: the frame is drawn again into the back buffer, read and saved by the image library
// through a scratch file, so a failed save leaves an existing file as it was.
#include "viewer/render/background.h"

#include <cerrno>

#include "viewer/render/draw.h"
#include "viewer/textures/image_io.h"

namespace {

// What the image library's result means here.
struct save_meaning {
    int32_t saved;
    int32_t shot;
};
constexpr save_meaning meanings[] = {
    {image_saved, screenshot_saved},
    {image_no_image, screenshot_no_image},
    {image_no_capture, screenshot_no_capture},
    {image_not_saved, screenshot_save_failed},
};

} // namespace

int32_t take_screenshot(const char *path) {
    // The buffers were swapped after the last frame, so the back buffer holds nothing defined.
    draw_scene();
    const int32_t saved = current_image_backend().save_screen(path ? path : "");
    const int reason = errno;
    int32_t result = screenshot_save_failed;
    for (const save_meaning &meaning : meanings)
        if (meaning.saved == saved) result = meaning.shot;
    errno = reason;
    return result;
}
