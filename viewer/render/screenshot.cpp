// Screenshots: the frame is drawn again into the back buffer, read with ILUT and saved by DevIL
// beside the target first, so a failed save leaves an existing file as it was.
#include "viewer/render/background.h"

#define ILUT_USE_OPENGL
#include <IL/il.h>
#include <IL/ilut.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "viewer/render/draw.h"

namespace {

void forget_devil_errors() {
    while (ilGetError() != IL_NO_ERROR) {
    }
}

// A name beside target that keeps its extension, since DevIL picks the format by the extension.
std::string scratch_name_for(const std::string &target) {
    std::size_t slash = target.find_last_of('/');
    std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    return directory + "." + std::to_string(static_cast<long>(std::time(nullptr))) + "." +
           std::to_string(static_cast<long>(getpid())) + "." + base;
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

    ilEnable(IL_FILE_OVERWRITE);
    std::string target = path ? path : "";
    std::string scratch = scratch_name_for(target);
    ILboolean saved = ilSaveImage(scratch.c_str());
    ILenum error = ilGetError();
    ilDeleteImages(1, &image);
    forget_devil_errors();
    if (!saved || error != IL_NO_ERROR) {
        std::remove(scratch.c_str());
        return screenshot_save_failed;
    }
    if (std::rename(scratch.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "Can't replace %s: the screenshot is kept in %s\n", target.c_str(),
                     scratch.c_str());
        return screenshot_save_failed;
    }
    return screenshot_saved;
}
