// SPDX-License-Identifier: MIT
// Pictures of a model without a display: the viewer's load commands fill app_state as they do in
// the viewer, the camera is placed, and the viewer's draw_scene draws into an offscreen context.
//
// Index: helpers - the frame - make_picture
#include "picture.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "camera_fit.h"
#include "support/scratch_write.h"
#include "tool_common.h"
#include "viewer/anim/animation.h"
#include "viewer/app/app_state.h"
#include "viewer/app/commands.h"
#include "viewer/app/open_files.h"
#include "viewer/mesh/mesh.h"
#include "viewer/render/draw.h"
#include "viewer/render/offscreen.h"
#include "viewer/textures/image_loading.h"

namespace {

// ---- helpers

// Opens the context; the render-state lines name a window that does not exist here, so they are
// not printed.
int32_t open_quietly(offscreen_target *target, int32_t width, int32_t height) {
#ifdef _WIN32
    const int null_out = open("NUL", O_WRONLY);
#else
    const int null_out = open("/dev/null", O_WRONLY | O_CLOEXEC);
#endif
    int32_t result;
    {
        stdout_to_descriptor quiet(null_out);
        result = open_offscreen(target, width, height);
    }
    if (null_out >= 0) close(null_out);
    return result;
}

// ---- the frame

// Puts the frame on show: the character's current_frame, or frame 0 of a weapon (the viewer draws
// weapons in frame 0 only). False, with the reason printed, when the frame is not in the animation.
bool show_frame(long frame) {
    const tka_animation *animation =
        app_state.mesh ? app_state.animation : app_state.weapon_animation;
    const long frames = animation ? animation->num_frames : 1;
    if (frame >= frames) {
        std::fprintf(stderr, "tkmtool: frame %ld is out of range: the animation has %ld frames\n",
                     frame, frames);
        return false;
    }
    app_state.current_frame = static_cast<int32_t>(frame);
    return true;
}

} // namespace

bool parse_picture_side(const std::string &text, int32_t *side) {
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1 || value > offscreen_max_side)
        return false;
    *side = static_cast<int32_t>(value);
    return true;
}

// ---- make_picture

int make_picture(const picture_request &request) {
    // Loading a mesh's textures changes the working directory: every path is made whole first.
    const std::string mesh_path = absolute_path(request.mesh_path);
    const std::string animation_path = absolute_path(request.animation_path);
    const std::string out_path = absolute_path(request.out_path);
    if (mesh_path.empty() || out_path.empty() ||
        (animation_path.empty() && !request.animation_path.empty())) {
        std::fprintf(stderr, "tkmtool: a path is too long, or the working directory is gone\n");
        return 1;
    }

    // The toggles are set before loading, as the viewer's options are.
    app_state.show_bones = request.bones ? 1 : 0;
    app_state.mesh_primitive = request.wire ? GL_LINE_STRIP : GL_TRIANGLES;
    app_state.show_textures = app_state.white_materials = request.textures ? 1 : 0;

    offscreen_target target;
    if (open_quietly(&target, request.width, request.height) != offscreen_ok) return 1;
    init_image_loading();

    bool ready = load_mesh_file(mesh_path.c_str(), file_name_offset(mesh_path)) == 0;
    if (ready && !animation_path.empty()) {
        if (!app_state.mesh) {
            std::fprintf(stderr,
                         "tkmtool: %s has grips (a weapon): only a character mesh takes "
                         "an animation\n",
                         request.mesh_path.c_str());
            ready = false;
        } else {
            ready =
                load_animation_file(animation_path.c_str(), file_name_offset(animation_path)) == 0;
        }
    }
    ready = ready && show_frame(request.frame);

    int status = 1;
    if (ready) {
        if (request.camera == picture_camera::fit)
            fit_camera(request.width, request.height, request.turn_broadside);
        if (request.transparent) glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        draw_scene();
        const int32_t code =
            save_offscreen_png(&target, out_path.c_str(), request.transparent ? 4 : 3);
        if (code == offscreen_ok) {
            std::printf("Wrote PNG %s\n", request.out_path.c_str());
            status = 0;
        } else {
            const int reason = code == offscreen_not_saved ? errno : 0;
            std::fprintf(stderr, "Error writing PNG %s: %d%s\n", request.out_path.c_str(), code,
                         bracketed_reason(reason).c_str());
        }
    }
    release_models();
    close_offscreen(&target);
    return status;
}
