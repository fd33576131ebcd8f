// SPDX-License-Identifier: MIT
// tkmtool render: a model drawn as the viewer draws it, saved as a PNG picture, with no display.
#include <string>

#include "commands.h"
#include "picture.h"
#include "tool_common.h"

namespace {

// "WIDTHxHEIGHT", each side from 1 to the largest picture.
bool parse_size(const std::string &text, int32_t *width, int32_t *height) {
    const std::size_t cross = text.find('x');
    return cross != std::string::npos && parse_picture_side(text.substr(0, cross), width) &&
           parse_picture_side(text.substr(cross + 1), height);
}

} // namespace

int command_render(const std::vector<std::string> &args) {
    parsed_args parsed;
    if (parse_args(args, {"--bones", "--wire", "--no-textures"},
                   {{"--anim", "a file"},
                    {"--frame", "a frame number from 0"},
                    {"--size", "WIDTHxHEIGHT"},
                    {"--camera", "viewer or fit"}},
                   &parsed) != 0)
        return 1;
    picture_request request;
    if (parsed.has("--frame") && !parse_frame(parsed.value("--frame"), &request.frame))
        return usage_error("--frame needs a frame number from 0");
    if (parsed.has("--size") &&
        !parse_size(parsed.value("--size"), &request.width, &request.height))
        return usage_error("--size needs WIDTHxHEIGHT, each from 1 to 8192");
    const std::string camera = parsed.value("--camera");
    if (camera == "viewer")
        request.camera = picture_camera::viewer;
    else if (!camera.empty() && camera != "fit")
        return usage_error("--camera needs viewer or fit");
    if (parsed.files.size() != 2) return usage_error("render takes MESH and OUT.png");
    request.mesh_path = parsed.files[0];
    request.out_path = parsed.files[1];
    request.animation_path = parsed.value("--anim");
    request.bones = parsed.has("--bones");
    request.wire = parsed.has("--wire");
    request.textures = !parsed.has("--no-textures");
    return make_picture(request);
}
