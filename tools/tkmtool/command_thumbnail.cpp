// SPDX-License-Identifier: MIT
// tkmtool thumbnail: a square picture of a model for file managers (the freedesktop thumbnailer
// runs it as "tkmtool thumbnail -s %s %i %o"), framed to fill it with the model's broad side, on
// a transparent background.
#include "commands.h"
#include "picture.h"
#include "tool_common.h"

int command_thumbnail(const std::vector<std::string> &args) {
    parsed_args parsed;
    if (parse_args(args, {}, {{"-s", "a size in pixels"}}, &parsed) != 0) return 1;
    picture_request request;
    int32_t side = 256;
    if (parsed.has("-s") && !parse_picture_side(parsed.value("-s"), &side))
        return usage_error("-s needs a size in pixels from 1 to 8192");
    if (parsed.files.size() != 2) return usage_error("thumbnail takes INPUT and OUTPUT.png");
    request.mesh_path = parsed.files[0];
    request.out_path = parsed.files[1];
    request.width = request.height = side;
    request.transparent = true;
    request.turn_broadside = true;
    return make_picture(request);
}
